#include "vyn/data/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace vyn::data {

namespace {

void writeAll(int fd, const char *text, size_t n) {
  while (n > 0) {
    const ssize_t done = ::write(fd, text, n);
    if (done <= 0) return;
    text += done;
    n -= static_cast<size_t>(done);
  }
}

}  // namespace

ReadProgress::ReadProgress(std::string name, size_t bytes, int fd, Clock::duration firstAfter,
                           Clock::duration every)
    : name_(std::move(name)), bytes_(bytes), fd_(fd), start_(Clock::now()), every_(every) {
  next_ = start_ + firstAfter;
}

ReadProgress::~ReadProgress() {
  finish();
}

void ReadProgress::update(int64_t rows, size_t offset) {
  const Clock::time_point now = Clock::now();
  if (now < next_) return;
  next_ = now + every_;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double share =
      bytes_ > 0 ? 100.0 * static_cast<double>(offset) / static_cast<double>(bytes_) : 100.0;
  char line[512];
  const int n = std::snprintf(line, sizeof line, "\r\033[K%.200s: %lld rows, %.0f%%, %.0f MB/s",
                              name_.c_str(), static_cast<long long>(rows), share,
                              static_cast<double>(offset) / 1e6 / seconds);
  if (n > 0) writeAll(fd_, line, std::min(static_cast<size_t>(n), sizeof line - 1));
  shown_ = true;
}

void ReadProgress::finish() {
  if (!shown_) return;
  writeAll(fd_, "\r\033[K", 4);
  shown_ = false;
}

}  // namespace vyn::data
