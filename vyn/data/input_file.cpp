#include "vyn/data/input_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vyn::data {
namespace {

int fail(ReadFailure *failure, int err) {
  failure->err = err;
  failure->reason = std::strerror(err);
  return -1;
}

// The reason a file that exists is not read, or nullptr for a regular file.
const char *notRegular(const struct stat &st) {
  if (S_ISREG(st.st_mode)) return nullptr;
  if (S_ISDIR(st.st_mode)) return "it is a folder, not a file";
  return "it is not a regular file";
}

}  // namespace

int openRegularFile(const std::string &path, struct stat *st, ReadFailure *failure) {
  // The type is checked before the open (opening a device may act on it) and
  // again on the descriptor, which is what is read; O_NONBLOCK keeps the open
  // of a FIFO swapped in between from waiting for a writer.
  if (::stat(path.c_str(), st) != 0) return fail(failure, errno);
  if (const char *why = notRegular(*st)) {
    *failure = {0, why};
    return -1;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return fail(failure, errno);
  const char *why = ::fstat(fd, st) != 0 ? std::strerror(errno) : notRegular(*st);
  if (why != nullptr) {
    *failure = {0, why};
    ::close(fd);
    return -1;
  }
  return fd;
}

bool readRegularFile(const std::string &path, std::string *content, ReadFailure *failure) {
  struct stat st {};
  const int fd = openRegularFile(path, &st, failure);
  if (fd < 0) return false;
  std::string text;
  text.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      fail(failure, errno);
      ::close(fd);
      return false;
    }
  }
  ::close(fd);
  *content = std::move(text);
  return true;
}

}  // namespace vyn::data
