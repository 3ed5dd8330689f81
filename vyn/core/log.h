// The log of a run: every note, warning and error of a step, in order.
#pragma once

#include <string>
#include <vector>

namespace vyn {

enum class LogLevel { kNote, kWarning, kError, kText };

// One line of the log.
struct LogEntry {
  LogLevel level;    // note, warning, error, or free text (traces, diagnostics)
  int group = 0;     // catalogue group; 0 for free-text lines
  int number = 0;    // catalogue number; 0 for free-text lines
  std::string text;  // the finished text, inserts filled in
};

// The log of one step.
class Log {
 public:
  void add(LogEntry entry) { entries_.push_back(std::move(entry)); }
  void text(LogLevel level, std::string line) { add({level, 0, 0, std::move(line)}); }
  const std::vector<LogEntry> &entries() const { return entries_; }
  std::vector<LogEntry> take() { return std::move(entries_); }
  void clear() { entries_.clear(); }

 private:
  std::vector<LogEntry> entries_;
};

const char *levelName(LogLevel level);

}  // namespace vyn
