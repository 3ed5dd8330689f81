// The output session of the host: everything the procedure emits through the
// output-object system during one step is collected here, with the headings,
// output group and BY group it was emitted under. The step runner drives it:
//
//   vyn::output::beginStep("KRAVO", &step.log);
//   ... vyn::output::setByGroup(values) whenever a new BY group starts ...
//   record.output = vyn::output::endStep();
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vyn/core/log.h"
#include "vyn/output/document.h"
#include "vyn/output/sink.h"

namespace vyn::output {

// Starts collecting the output of a step. Host conditions met while the step
// runs (a row with no open output, a stale handle) are written to `log` when
// it is given. A step still open is ended first and its output dropped.
// `graphics` is what the output manager answers when asked whether it draws
// graphs. With a `sink`, each item goes to it when emitted (as item `index`
// of step `step`) and is not kept; without one, endStep returns them all.
void beginStep(const std::string &proc, Log *log = nullptr, bool graphics = false,
               ItemSink *sink = nullptr, size_t step = 0);

// The BY group now being processed; items emitted from here on carry it.
// Also closes the current output group and clears the headings below the
// procedure's title (level 1): they belonged to the previous BY group.
void setByGroup(std::vector<ByValue> by);
// The same, taking the values of `by` and leaving it those of the group
// before: a caller that fills one vector group after group keeps its room.
void swapByGroup(std::vector<ByValue> &by);

// The BY group now being processed; empty without a BY statement or a step.
// Valid until the BY group or the step changes.
const std::vector<ByValue> &currentByGroup();

// A number that is new whenever the BY group or the step changes: what
// depends on the BY group alone can be kept until it moves on.
uint64_t byGroupSerial();

// Ends the step: every object of the step is freed (handles the module still
// holds become invalid) and the emitted items that no sink took are returned
// in order.
std::vector<Item> endStep();

// True between beginStep and endStep.
bool stepActive();

}  // namespace vyn::output
