// Holding text back while a run goes on, and replaying a finished run.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "vyn/output/render.h"

namespace vyn::output {
namespace {

class MemoryScratch : public Scratch {
 public:
  void put(std::string_view text) override { text_.append(text); }
  void fail(const std::string &) override {}
  void replay(TextOut &out) override {
    out.put(text_);
    std::string().swap(text_);
  }

 private:
  std::string text_;
};

// Spills to an unnamed temporary file, so that what is held back costs no
// memory however long it grows.
class FileScratch : public Scratch {
 public:
  FileScratch() : file_(std::tmpfile()) {
    if (file_ == nullptr) error_ = std::strerror(errno);
  }
  ~FileScratch() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  FileScratch(const FileScratch &) = delete;
  FileScratch &operator=(const FileScratch &) = delete;

  void put(std::string_view text) override {
    if (!error_.empty()) return;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) noteFailure();
  }
  void fail(const std::string &reason) override {
    if (error_.empty()) error_ = reason;
  }
  void replay(TextOut &out) override {
    if (error_.empty() && (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0)) {
      noteFailure();
    }
    if (!error_.empty()) {
      out.fail(error_);
      return;
    }
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) out.put({buffer, n});
    if (std::ferror(file_) != 0) noteFailure();
    if (!error_.empty()) out.fail(error_);
    std::rewind(file_);
    if (::ftruncate(fileno(file_), 0) != 0) noteFailure();
  }

 private:
  void noteFailure() { fail(std::strerror(errno != 0 ? errno : EIO)); }

  std::FILE *file_;
  std::string error_;
};

}  // namespace

std::unique_ptr<Scratch> memoryScratch() {
  return std::make_unique<MemoryScratch>();
}

std::unique_ptr<Scratch> fileScratch() {
  return std::make_unique<FileScratch>();
}

void replayRun(const Run &run, const GraphPlaces &graphs, ItemSink &sink) {
  for (size_t s = 0; s < run.size(); ++s) {
    sink.beginStep(run[s].proc);
    for (size_t i = 0; i < run[s].output.size(); ++i) {
      sink.item(run[s].output[i], {s, i, graphs.fileOf(s, i)});
    }
    for (const LogEntry &entry : run[s].log) sink.logged(entry);
    sink.endStep({run[s].proc, run[s].rc, {}, {}, run[s].tally});
  }
}

}  // namespace vyn::output
