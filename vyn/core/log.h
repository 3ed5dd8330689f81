// The log of a run: every note, warning and error of a step, in order.
#pragma once

#include <cstddef>
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

// How many warnings and errors a log took: what the exit status of a run
// needs once the entries themselves are written and gone.
struct LogTally {
  size_t warnings = 0;
  size_t errors = 0;

  void count(LogLevel level) {
    warnings += level == LogLevel::kWarning ? 1 : 0;
    errors += level == LogLevel::kError ? 1 : 0;
  }
};

// Takes each entry of a log the moment it is added.
class LogListener {
 public:
  virtual ~LogListener() = default;
  virtual void logged(const LogEntry &entry) = 0;
};

// The log of one step: its entries kept in order, or each handed to a
// listener and only counted, so that a long run keeps none of them.
class Log {
 public:
  void add(LogEntry entry) {
    tally_.count(entry.level);
    if (listener_ != nullptr) {
      listener_->logged(entry);
    } else {
      entries_.push_back(std::move(entry));
    }
  }
  // The same for an entry its caller goes on owning: copied only when kept.
  void addLent(const LogEntry &entry) {
    tally_.count(entry.level);
    if (listener_ != nullptr) {
      listener_->logged(entry);
    } else {
      entries_.push_back(entry);
    }
  }
  void text(LogLevel level, std::string line) { add({level, 0, 0, std::move(line)}); }
  // From now on every entry goes to `listener` and is not kept.
  void sendTo(LogListener *listener) { listener_ = listener; }
  const std::vector<LogEntry> &entries() const { return entries_; }
  std::vector<LogEntry> take() { return std::move(entries_); }
  const LogTally &tally() const { return tally_; }
  void clear() {
    entries_.clear();
    tally_ = {};
  }

 private:
  std::vector<LogEntry> entries_;
  LogTally tally_;
  LogListener *listener_ = nullptr;
};

const char *levelName(LogLevel level);

}  // namespace vyn
