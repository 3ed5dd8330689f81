#include "vyn/core/host.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <new>

#include "vyn/core/catalog.h"
#include "vyn/core/hostmsg.h"
#include "vyn/core/services.h"
#include "vyn/data/error.h"
#include "vyn/parse/parser.h"

namespace vyn {
namespace {

Host *running = nullptr;
StepContext *runningStep = nullptr;

// Logs the exception that ended a step and sets its return code.
void logStepFailure(StepContext &step, const std::exception_ptr &ended, StepOutcome &outcome) {
  try {
    std::rethrow_exception(ended);
  } catch (const std::bad_alloc &) {
    outcome.rc = 1016;
    outcome.outOfMemory = true;
    logHostMessage(step.log, kHostOutOfMemory);
  } catch (const data::DataError &e) {
    outcome.rc = 1008;
    logDataError(step.log, e);
  } catch (const std::exception &e) {
    outcome.rc = 1012;
    logHostMessage(step.log, kHostStepFault, {step.proc, e.what()});
  } catch (...) {
    outcome.rc = 1012;
    logHostMessage(step.log, kHostStepFault,
                   {step.proc, "an exception that is not a standard one"});
  }
}

// The words for a step's return code; the code itself stays in the note.
int returnCodeWords(int rc) {
  if (rc > 0 && rc <= 4) return kHostCodeWarning;
  if (rc == 112) return kHostCodeGroup;
  if (rc == 1008) return kHostCodeData;
  if (rc == 1012) return kHostCodeHost;
  if (rc == 1016) return kHostCodeMemory;
  if (rc == 3000) return kHostCodeStatement;
  return kHostCodeFailed;
}

// The notes that close a step: what it read, how long it took and, when it
// did not end cleanly, its return code in words.
void logStepEnd(StepContext &step, int rc, double seconds) {
  const StepInput &in = step.input;
  if (!in.dataSet.empty() && in.whereKept) {
    logHostMessage(step.log, kHostStepReadWhere,
                   {step.proc, std::to_string(in.read), in.dataSet, std::to_string(*in.whereKept)});
  } else if (!in.dataSet.empty()) {
    logHostMessage(step.log, kHostStepRead, {step.proc, std::to_string(in.read), in.dataSet});
  }
  char time[32];
  std::snprintf(time, sizeof time, "%.2f", seconds);
  logHostMessage(step.log, kHostStepTime, {step.proc, time});
  if (rc == 0) {
    logHostMessage(step.log, kHostStepClean, {step.proc});
  } else {
    logHostMessage(
        step.log, kHostStepCode,
        {step.proc, std::to_string(rc), catalogMessage(kHostGroup, returnCodeWords(rc))});
  }
}

}  // namespace

void registerAllServices() {
  static const bool done = [] {
    registerCoreServices();
    registerDataServices();
    registerParseServices();
    registerOutputServices();
    return true;
  }();
  (void)done;
}

StepContext &currentStep() {
  return *runningStep;
}

Host &Host::current() {
  return *running;
}

Host::Host() = default;

Host::~Host() = default;

bool Host::loadModule(const std::string &path, std::string *error) {
  module_ = Module::load(path, connection_.words(), error);
  return module_ != nullptr;
}

void Host::useLinkedModule(mcn_main_fn entry) {
  module_ = Module::linked(entry, connection_.words());
}

bool Host::hasProcedure(const std::string &proc) const {
  return module_ != nullptr && module_->procedure(proc) != nullptr;
}

StepOutcome Host::runStep(StepContext &step) {
  StepOutcome outcome;
  void (*entry)() = module_ == nullptr ? nullptr : module_->procedure(step.proc);
  if (entry == nullptr) {
    logHostMessage(step.log, kHostUnknownProcedure, {step.proc});
    outcome.rc = 3000;
    return outcome;
  }
  running = this;
  runningStep = &step;
  if (step.parseHost == nullptr) step.parseHost = &stepParseHost();
  step_ = &step;
  bool returned = false;  // the entry returned instead of ending through the exit service
  std::exception_ptr ended;
  const auto start = std::chrono::steady_clock::now();
  try {
    StepParse parse;
    connection_.setProcessBlock(parse.processBlock());
    entry();
    returned = true;
  } catch (const StepExit &exit) {
    outcome.rc = exit.code;
  } catch (...) {
    ended = std::current_exception();  // logged below, once the step's memory is back
  }
  outcome.leftStepBlocks = connection_.stepPool().liveBlocks();
  outcome.leftWorkBlocks = connection_.workPool().liveBlocks();
  connection_.stepPool().releaseAll();
  connection_.workPool().releaseAll();
  endStepServices();
  connection_.setProcessBlock(nullptr);
  running = nullptr;
  runningStep = nullptr;
  step_ = nullptr;
  if (returned) {
    outcome.rc = 1012;
    logHostMessage(step.log, kHostNoExit, {step.proc});
  }
  if (ended) logStepFailure(step, ended, outcome);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  logStepEnd(step, outcome.rc, took.count());
  return outcome;
}

}  // namespace vyn
