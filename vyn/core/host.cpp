#include "vyn/core/host.h"

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
  return outcome;
}

}  // namespace vyn
