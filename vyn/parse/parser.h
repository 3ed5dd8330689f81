// The statement parser as the step runner sees it: the records of one step
// (process-block chain, parse header, statement block) and the run of the
// parser over the step's statements.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "host/vynconn.h"
#include "host/vynstmt.h"
#include "vyn/core/step.h"

namespace vyn {

struct HostStatementBlock;

// Trace bits of the parser (from the DEBUG option: SEM, SYN).
inline constexpr int32_t kTraceSemantic = 1;
inline constexpr int32_t kTraceSyntax = 2;

// The parser's records for one step. Create one when the step starts and
// point connection word 4 at processBlock(); the module then reaches the
// parse header through words 10, 12 and 20. Destroying it (or release())
// frees the statement block and its lists.
class StepParse {
 public:
  StepParse();
  ~StepParse();
  StepParse(const StepParse &) = delete;
  StepParse &operator=(const StepParse &) = delete;

  void *processBlock() { return processWords_.data(); }
  vynconn::ParseHeader &header() { return header_; }
  const vynstmt::StatementBlock &block() const;
  // Frees the statement block's lists and clears it (the end of the step).
  void release();

 private:
  std::array<void *, vynconn::kProcessToStepWord + 1> processWords_{};
  std::array<void *, vynconn::kStepToParseWord + 1> stepWords_{};
  std::array<void *, vynconn::kParseToHeaderWord + 1> parseWords_{};
  vynconn::ParseHeader header_{};
  std::unique_ptr<HostStatementBlock> statements_;
};

// The parse header at the end of a process-block chain, or nullptr.
vynconn::ParseHeader *parseHeaderOf(void *processBlock);

// Runs the parser over the step's statements with a descriptor template
// (its routines and anchor are filled here), as xsproc would for the
// module. Returns the parse status, also left in the header.
int parseStep(StepContext &step, StepParse &parse, const vynstmt::GrammarDescriptor &grammar,
              int32_t trace);

// The anchor xtanch hands out; xsproc accepts only descriptors carrying it.
void *parserAnchor();

}  // namespace vyn
