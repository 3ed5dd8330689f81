#include "vyn/core/log.h"

namespace vyn {

const char *levelName(LogLevel level) {
  switch (level) {
    case LogLevel::kNote:
      return "note";
    case LogLevel::kWarning:
      return "warning";
    case LogLevel::kError:
      return "error";
    default:
      return "note";  // free text such as traces reads as a note
  }
}

void LineBatch::add(LogLevel level, std::string_view text) {
  const LinePrefix &prefix = linePrefix(level);
  const size_t n = prefix.length + text.size() + 1;
  if (n + sizeof prefix.run > kBatch - used_) flush();
  if (n + sizeof prefix.run > kBatch) {
    put({prefix.run, prefix.length});
    put(text);
    put("\n");
    return;
  }
  char *const at = lines_.get() + used_;
  std::memcpy(at, prefix.run, sizeof prefix.run);
  std::memcpy(at + prefix.length, text.data(), text.size());
  at[n - 1] = '\n';
  used_ += n;
}

}  // namespace vyn
