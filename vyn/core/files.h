// Reading the program and writing the outputs of a run.
//
// An output that names a regular file (or a path not yet there) is written
// to a temporary file beside it and renamed over it, so a failed run never
// leaves a half file; a symbolic link is followed, and its final target, not
// the link, is replaced. Anything else (a FIFO, a terminal, /dev/null) is
// written through, never replaced.
#pragma once

#include <string>
#include <string_view>

struct stat;

namespace vyn {

// Writes all of `content` to a descriptor, retrying short and interrupted
// writes; allocates nothing. False with errno set on failure.
bool writeAll(int fd, std::string_view content);

// An output written piece by piece as described above: into a temporary file
// beside a regular target, which commit() renames over it, or straight into
// a FIFO, terminal or device. The first failure is kept and what follows is
// dropped; a temporary file not committed is removed.
class OutputFile {
 public:
  OutputFile() = default;
  explicit OutputFile(const std::string &path);
  ~OutputFile();
  OutputFile(OutputFile &&other) noexcept;
  OutputFile &operator=(OutputFile &&) = delete;
  OutputFile(const OutputFile &) = delete;

  void write(std::string_view text);
  // Stops writing; the temporary file, named now, stays until commit or
  // destruction.
  void close();
  // Closes and renames the temporary file over the target; false with
  // error() when anything failed.
  bool commit();
  bool failed() const { return !error_.empty(); }
  const std::string &error() const { return error_; }

 private:
  void fail(int errnum);
  void openTemporary(const struct stat *existing);
  void nameTemporary();

  int fd_ = -1;
  bool unnamed_ = false;  // the temporary file has no name yet
  std::string temp_;      // empty when written straight into the target
  std::string target_;    // the file the temporary file replaces
  std::string error_;
};

// Why `path` cannot take an output, or empty when it can: its folder must
// exist and be writable; a folder, or a file that cannot be written through,
// is refused.
std::string outputPathProblem(const std::string &path);

// Why folder `dir` cannot take output files, or empty when it can: it must
// be a writable folder, or not exist yet below a writable folder.
std::string outputFolderProblem(const std::string &dir);

// Makes folder `dir` and the folders above it that are missing; false with
// a reason on failure.
bool makeFolder(const std::string &dir, std::string *error);

// Reads a whole regular file (a folder, FIFO or device is refused); false
// with a reason on failure.
bool readWholeFile(const std::string &path, std::string *content, std::string *error);

// What a path names, for telling whether two paths are the same file: the
// device and inode of what exists (links followed), else the path made
// absolute.
struct FileIdentity {
  bool exists = false;
  bool regular = false;  // a regular file, or a path not yet there
  bool fifo = false;
  unsigned long long device = 0, inode = 0;
  std::string path;

  bool sameAs(const FileIdentity &other) const;
};
FileIdentity identify(const std::string &path);

}  // namespace vyn
