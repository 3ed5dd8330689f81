#include "vyn/parse/engine.h"
#include "vyn/parse/parser.h"

namespace vyn {

StepParse::StepParse() : statements_(std::make_unique<HostStatementBlock>()) {
  statements_->clear();
  processWords_[vynconn::kProcessToStepWord] = stepWords_.data();
  stepWords_[vynconn::kStepToParseWord] = parseWords_.data();
  parseWords_[vynconn::kParseToHeaderWord] = &header_;
  header_.statement_block = statements_.get();
}

StepParse::~StepParse() = default;

const vynstmt::StatementBlock &StepParse::block() const {
  return statements_->block;
}

void StepParse::release() {
  statements_->clear();
  for (auto &list : statements_->lists) list.shrink_to_fit();
  header_.status = 0;
}

vynconn::ParseHeader *parseHeaderOf(void *processBlock) {
  auto **process = static_cast<void **>(processBlock);
  if (process == nullptr) return nullptr;
  auto **step = static_cast<void **>(process[vynconn::kProcessToStepWord]);
  if (step == nullptr) return nullptr;
  auto **parse = static_cast<void **>(step[vynconn::kStepToParseWord]);
  if (parse == nullptr) return nullptr;
  return static_cast<vynconn::ParseHeader *>(parse[vynconn::kParseToHeaderWord]);
}

void *parserAnchor() {
  static int anchor = 0;
  return &anchor;
}

int parseStep(StepContext &step, StepParse &parse, const vynstmt::GrammarDescriptor &grammar,
              int32_t trace) {
  vynstmt::GrammarDescriptor connected = grammar;
  connected.token_routine = reinterpret_cast<void *>(&xttk);
  connected.semantic_routine = reinterpret_cast<void *>(&xsem);
  connected.anchor = parserAnchor();
  return runParser(step, connected, parse.header(), trace);
}

}  // namespace vyn
