#include "vyn/core/files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "vyn/data/input_file.h"

namespace vyn {
namespace {

// Where a path that does not exist yet leads: a dangling symbolic link is
// followed, so that the output is created where it points.
std::string followLinks(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    if (n < 0 || static_cast<size_t>(n) == sizeof target) return path;
    std::string next(target, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    if (next.front() != '/' && slash != std::string::npos) next = path.substr(0, slash + 1) + next;
    path = std::move(next);
  }
  return path;  // a loop: opening it reports it
}

// The path of the file that an existing path names, links resolved.
std::string realPath(const std::string &path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string folderOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A new temporary file beside `target`, with the target's permissions when
// it exists; its descriptor, or -1.
int createTemporary(const std::string &target, const struct stat *existing, std::string *temp) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    const int fd =
        ::open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd >= 0 && existing != nullptr) ::fchmod(fd, existing->st_mode & 07777);
    return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

bool writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    content.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

OutputFile::OutputFile(const std::string &path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      fail(errno);
      return;
    }
    target_ = followLinks(path);
    openTemporary(nullptr);
  } else if (S_ISDIR(st.st_mode)) {
    error_ = "it is a folder";
    return;
  } else if (S_ISREG(st.st_mode)) {
    target_ = realPath(path);
    openTemporary(&st);
  } else {
    fd_ = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  }
  if (fd_ < 0) {
    const int errnum = errno;
    temp_.clear();
    fail(errnum);
  }
}

// An unnamed file in the target's folder where the system has them, so that
// a run that dies leaves nothing behind; else a named one beside the target.
void OutputFile::openTemporary(const struct stat *existing) {
  fd_ = ::open(folderOf(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    fd_ = createTemporary(target_, existing, &temp_);
    return;
  }
  unnamed_ = true;
  if (existing != nullptr) ::fchmod(fd_, existing->st_mode & 07777);
}

// Gives the unnamed file a temporary name beside the target.
void OutputFile::nameTemporary() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp =
        target_ + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        ::linkat(fd_, "", AT_FDCWD, temp.c_str(), AT_EMPTY_PATH) == 0) {
      temp_ = std::move(temp);
      unnamed_ = false;
      return;
    }
    if (errno != EEXIST) break;
  }
  fail(errno);
}

OutputFile::OutputFile(OutputFile &&other) noexcept
    : fd_(other.fd_),
      unnamed_(other.unnamed_),
      temp_(std::move(other.temp_)),
      target_(std::move(other.target_)),
      error_(std::move(other.error_)) {
  other.fd_ = -1;
  other.temp_.clear();
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

void OutputFile::fail(int errnum) {
  if (error_.empty()) error_ = std::strerror(errnum != 0 ? errnum : EIO);
}

void OutputFile::write(std::string_view text) {
  if (fd_ < 0 || failed()) return;
  if (!writeAll(fd_, text)) fail(errno);
}

void OutputFile::close() {
  if (fd_ < 0) return;
  if (unnamed_ && !failed()) nameTemporary();
  if (::close(fd_) != 0) fail(errno);
  fd_ = -1;
}

bool OutputFile::commit() {
  close();
  if (!failed() && !temp_.empty() && ::rename(temp_.c_str(), target_.c_str()) != 0) fail(errno);
  if (!failed() && !temp_.empty()) temp_.clear();
  return !failed();
}

std::string outputPathProblem(const std::string &path) {
  struct stat st {};
  std::string target;
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    if (S_ISSOCK(st.st_mode)) return "it is a socket";
    if (!S_ISREG(st.st_mode))
      return ::access(path.c_str(), W_OK) == 0 ? std::string() : std::strerror(errno);
    target = realPath(path);
  } else if (errno == ENOENT) {
    target = followLinks(path);
  } else {
    return std::strerror(errno);
  }
  const std::string folder = folderOf(target);
  if (::stat(folder.c_str(), &st) != 0) return "the folder " + folder + " does not exist";
  if (!S_ISDIR(st.st_mode)) return folder + " is not a folder";
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return "the folder " + folder + " cannot be written: " + std::strerror(errno);
  return {};
}

std::string outputFolderProblem(const std::string &dir) {
  std::filesystem::path folder(dir);
  struct stat st {};
  while (::stat(folder.c_str(), &st) != 0) {
    if (errno != ENOENT) return std::strerror(errno);
    const std::filesystem::path above = folder.has_parent_path() ? folder.parent_path() : ".";
    if (above == folder) return "the folder " + dir + " cannot be made";
    folder = above;
  }
  if (!S_ISDIR(st.st_mode)) return "it is not a folder";
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return "the folder " + folder.string() + " cannot be written: " + std::strerror(errno);
  return {};
}

bool makeFolder(const std::string &dir, std::string *error) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (!ec) return true;
  *error = ec.message();
  return false;
}

bool readWholeFile(const std::string &path, std::string *content, std::string *error) {
  data::ReadFailure failure;
  if (data::readRegularFile(path, content, &failure)) return true;
  *error = failure.reason;
  return false;
}

FileIdentity identify(const std::string &path) {
  FileIdentity id;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    id.exists = true;
    id.regular = S_ISREG(st.st_mode);
    id.fifo = S_ISFIFO(st.st_mode);
    id.device = st.st_dev;
    id.inode = st.st_ino;
    return id;
  }
  id.regular = true;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(followLinks(path), ec);
  id.path = ec ? path : std::filesystem::weakly_canonical(absolute, ec).string();
  if (ec) id.path = absolute.lexically_normal().string();
  return id;
}

bool FileIdentity::sameAs(const FileIdentity &other) const {
  if (exists != other.exists) return false;
  return exists ? device == other.device && inode == other.inode : path == other.path;
}

}  // namespace vyn
