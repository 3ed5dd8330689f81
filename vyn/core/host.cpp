#include "vyn/core/host.h"

#include <exception>

#include "vyn/core/catalog.h"
#include "vyn/core/hostmsg.h"
#include "vyn/core/services.h"
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
  try {
    entry();
    logHostMessage(step.log, kHostNoExit, {step.proc});
    outcome.rc = 1012;
  } catch (const StepExit &exit) {
    outcome.rc = exit.code;
  } catch (const std::exception &e) {
    logHostMessage(step.log, kHostStepFault, {step.proc, e.what()});
    outcome.rc = 1012;
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
  return outcome;
}

}  // namespace vyn
