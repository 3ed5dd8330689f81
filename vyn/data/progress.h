// Progress of a long read. A read that has taken more than about a second
// shows one line on a terminal, rewritten in place a few times a second:
// the rows read, the share of the file and the speed. The line is cleared
// when the read ends, so it never mixes with the log.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vyn::data {

class ReadProgress {
 public:
  using Clock = std::chrono::steady_clock;

  // `name` is shown before the figures; `bytes` is the size of the file;
  // the line goes to the descriptor `fd` (a terminal), first after
  // `firstAfter`, then at most once per `every`.
  ReadProgress(std::string name, size_t bytes, int fd,
               Clock::duration firstAfter = std::chrono::seconds(1),
               Clock::duration every = std::chrono::milliseconds(250));
  ~ReadProgress();
  ReadProgress(const ReadProgress &) = delete;
  ReadProgress &operator=(const ReadProgress &) = delete;

  // The reading reached row `rows` at byte `offset`; cheap when nothing is due.
  void update(int64_t rows, size_t offset);
  // The read ended: clears the line.
  void finish();

 private:
  std::string name_;
  size_t bytes_;
  int fd_;
  Clock::time_point start_;
  Clock::duration every_;
  Clock::time_point next_;  // when the line is due next
  bool shown_ = false;
};

}  // namespace vyn::data
