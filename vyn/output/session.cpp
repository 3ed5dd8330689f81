// The output session: the state of the step being run and its lifecycle.
#include "vyn/output/session.h"

#include <memory>
#include <utility>

#include "vyn/output/objects.h"

namespace vyn::output {
namespace {

std::unique_ptr<StepState> &current() {
  static std::unique_ptr<StepState> state;
  return state;
}

uint64_t serial = 0;  // of the BY group now being processed

}  // namespace

StepState *runningStep = nullptr;

void beginStep(const std::string &proc, Log *log, bool graphics, ItemSink *sink, size_t step) {
  runningStep = nullptr;
  current() = std::make_unique<StepState>();
  runningStep = current().get();
  ++serial;
  current()->sink = sink;
  current()->step = step;
  current()->proc = proc;
  current()->log = log;
  current()->graphics = graphics;
}

void swapByGroup(std::vector<ByValue> &by) {
  StepState *state = stepState();
  if (state == nullptr) return;
  releaseTransient(*state);
  state->byGroupsBegun = true;
  state->by.swap(by);
  ++serial;
  state->group = nullptr;
  state->headings.clearFrom(2);
  state->placeChanged = true;
  state->byChanged = true;
}

void setByGroup(std::vector<ByValue> by) {
  swapByGroup(by);
}

const std::vector<ByValue> &currentByGroup() {
  static const std::vector<ByValue> none;
  const StepState *state = stepState();
  return state == nullptr ? none : state->by;
}

uint64_t byGroupSerial() {
  return serial;
}

std::vector<Item> endStep() {
  std::unique_ptr<StepState> state = std::move(current());
  runningStep = nullptr;
  ++serial;
  if (state == nullptr) return {};
  return std::move(state->items);
}

bool stepActive() {
  return stepState() != nullptr;
}

}  // namespace vyn::output
