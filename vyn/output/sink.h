// Where finished output goes while a run is going on: a sink receives each
// item the moment it is emitted and the end of every step, so nothing of a
// step needs to be kept once it has been written.
#pragma once

#include <string>

#include "vyn/core/log.h"
#include "vyn/output/document.h"

namespace vyn::output {

// Where an item stands in the run.
struct ItemPlace {
  size_t step = 0;        // the step, from 0
  size_t index = 0;       // the item within its step, from 0
  std::string graphFile;  // a graph: its SVG file when one is written; else empty
};

// Receives a run as it happens: beginStep, every item and every log entry
// of the step in order (logged() is the listener's), then endStep. An item
// or entry is only valid during the call.
class ItemSink : public LogListener {
 public:
  virtual ~ItemSink() = default;
  virtual void beginStep(const std::string &proc) = 0;
  virtual void item(const Item &item, const ItemPlace &place) = 0;
  // The step ended; `step` holds its code and the tally of its log; its
  // output and log entries are empty.
  virtual void endStep(const StepRecord &step) = 0;
};

}  // namespace vyn::output
