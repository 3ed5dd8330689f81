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
  StepParse parse;
  connection_.setProcessBlock(parse.processBlock());
  step_ = &step;
  bool returned = false;  // the entry returned instead of ending through the exit service
  std::string fault;      // what an exception that ended the step said
  try {
    entry();
    returned = true;
  } catch (const StepExit &exit) {
    outcome.rc = exit.code;
  } catch (const std::bad_alloc &) {
    outcome.outOfMemory = true;
  } catch (const data::DataError &e) {
    outcome.rc = 1008;
    logDataError(step.log, e);
  } catch (const std::exception &e) {
    fault = e.what();
  } catch (...) {
    fault = "an exception that is not a standard one";
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
  // The log entries are made with the step's memory given back.
  if (outcome.outOfMemory) {
    outcome.rc = 1016;
    logHostMessage(step.log, kHostOutOfMemory);
  } else if (returned) {
    outcome.rc = 1012;
    logHostMessage(step.log, kHostNoExit, {step.proc});
  } else if (!fault.empty()) {
    outcome.rc = 1012;
    logHostMessage(step.log, kHostStepFault, {step.proc, fault});
  }
  return outcome;
}

}  // namespace vyn
