// The log of a run: every note, warning and error of a step, in order.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
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

// The word that starts a line of a level, in a run of bytes copied whole.
struct LinePrefix {
  char run[16];
  size_t length;
};

// The words of the levels, in the order of LogLevel.
inline constexpr LinePrefix kLinePrefixes[] = {
    {"NOTE: ", 6}, {"WARNING: ", 9}, {"ERROR: ", 7}, {"", 0}};

inline const LinePrefix &linePrefix(LogLevel level) {
  return kLinePrefixes[static_cast<size_t>(level)];
}

// Log lines as text, each its level word, its text and a newline, gathered
// in one buffer and handed on in batches.
class LineBatch {
 public:
  LineBatch() : lines_(std::make_unique<char[]>(kBatch)) {}
  virtual ~LineBatch() = default;

  // The line of `text`; one longer than the whole batch is handed on by
  // itself after the lines gathered.
  void add(LogLevel level, std::string_view text);

  // A line whose text `write(at, end)` writes from `at`, short of `end`,
  // and returns the end of, or nullptr when it does not fit there: then
  // nothing of the line is kept and the result is false.
  template <typename Write>
  bool write(LogLevel level, Write write) {
    if (kLineRoom > kBatch - used_) flush();
    char *const at = lines_.get() + used_;
    const LinePrefix &prefix = linePrefix(level);
    std::memcpy(at, prefix.run, sizeof prefix.run);
    char *const end = write(at + prefix.length, at + kLineRoom - 1);
    if (end == nullptr) return false;
    *end = '\n';
    used_ = static_cast<size_t>(end + 1 - lines_.get());
    return true;
  }

  // Hands on the lines gathered.
  void flush() {
    put({lines_.get(), used_});
    used_ = 0;
  }

 protected:
  virtual void put(std::string_view bytes) = 0;

 private:
  static constexpr size_t kBatch = size_t{1} << 16;  // bytes of lines gathered before they go
  static constexpr size_t kLineRoom = 512;           // the room a line is written in straight

  std::unique_ptr<char[]> lines_;
  size_t used_ = 0;
};

// Takes each entry of a log the moment it is added.
class LogListener {
 public:
  virtual ~LogListener() = default;
  virtual void logged(const LogEntry &entry) = 0;
  // Where the log's lines may be written straight, with no entry made, when
  // the listener wants nothing of an entry but its line; else nullptr.
  virtual LineBatch *lineBatch() { return nullptr; }
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
  // A line written straight where the listener's lines go, as
  // LineBatch::write writes it; false, with nothing logged, when the
  // listener wants entries or the text does not fit.
  template <typename Write>
  bool writeLine(LogLevel level, Write write) {
    if (lines_ == nullptr || !lines_->write(level, write)) return false;
    tally_.count(level);
    return true;
  }
  // From now on every entry goes to `listener` and is not kept.
  void sendTo(LogListener *listener) {
    listener_ = listener;
    lines_ = listener != nullptr ? listener->lineBatch() : nullptr;
  }
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
  LineBatch *lines_ = nullptr;  // the listener's, when it takes lines written straight
};

const char *levelName(LogLevel level);

}  // namespace vyn
