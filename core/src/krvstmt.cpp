#include "core/src/krvstmt.h"

#include "dsup/src/mcnglob.h"
#include "host/vynconn.h"

namespace {

// Word `n` of a block of words.
void *word(void *block, int n) {
  return block == nullptr ? nullptr : static_cast<void **>(block)[n];
}

vynconn::ParseHeader *parseHeader() {
  void *process = mcn_connection[vynconn::kProcessBlock];
  void *step = word(process, vynconn::kProcessToStepWord);
  void *parse = word(step, vynconn::kStepToParseWord);
  return static_cast<vynconn::ParseHeader *>(word(parse, vynconn::kParseToHeaderWord));
}

}  // namespace

vynstmt::StatementBlock *krvstmt() {
  vynconn::ParseHeader *header = parseHeader();
  return header == nullptr ? nullptr
                           : static_cast<vynstmt::StatementBlock *>(header->statement_block);
}

int32_t krvparse_status() {
  vynconn::ParseHeader *header = parseHeader();
  return header == nullptr ? 0 : header->status;
}
