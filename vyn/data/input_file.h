// Opening files for reading. Only regular files are read: a FIFO, a device
// or a folder named as an input is refused at once, instead of blocking on a
// writer that never comes or reading nothing.
#pragma once

#include <sys/stat.h>

#include <string>

namespace vyn::data {

// Why a file could not be read.
struct ReadFailure {
  int err = 0;         // errno of the failing call; 0 when the file is not a regular file
  std::string reason;  // for messages: "No such file or directory", "it is a folder, not a file"
};

// Opens a regular file read-only; its descriptor (close-on-exec) with its
// status in `st`, or -1 with the reason in `failure`.
int openRegularFile(const std::string &path, struct stat *st, ReadFailure *failure);

// Reads a whole regular file into `content`; false with the reason on failure.
bool readRegularFile(const std::string &path, std::string *content, ReadFailure *failure);

}  // namespace vyn::data
