// The host as a command: what it reads, where it writes, its exit status,
// and running out of memory anywhere in a run. Each case runs in a child
// process: the built vyn, or the same command with this binary's operator new
// failing on request.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/vynmod.h"
#include "vyn/cli/run.h"
#include "vyn/core/program.h"

extern "C" const mcn_desc *mcn_main(void **connection, void *module_handle);

// Allocation that fails on request: when the countdown reaches zero, that
// allocation fails, and so does every later one while `failForever` holds.
namespace {
std::atomic<long> countdown{-1};
std::atomic<bool> failForever{false};
std::atomic<long> allocations{0};

void *allocate(std::size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  const long left = countdown.load(std::memory_order_relaxed);
  if (left == 0) {
    if (!failForever) countdown = -1;
    throw std::bad_alloc();
  }
  if (left > 0) countdown = left - 1;
  if (void *p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

// The array forms go through these (or, under AddressSanitizer, both its own).
void *operator new(std::size_t n) {
  return allocate(n);
}
void operator delete(void *p) noexcept {
  std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
  std::free(p);
}

namespace {

constexpr const char *kProgram = "proc kravo data=d; var y; run;\n";
constexpr const char *kData = "y,x\n1,2\n3,4\n5,7\n";
constexpr const char *kListingMark = "The KRAVO Procedure";

// A fresh temporary folder holding d.csv and p.vyn, removed with its contents.
struct Folder {
  std::string path;
  Folder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vyn-hostio-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = tmpl;
    write("d.csv", kData);
    write("p.vyn", kProgram);
  }
  ~Folder() { std::filesystem::remove_all(path); }
  std::string file(const std::string &name) const { return path + "/" + name; }
  void write(const std::string &name, const std::string &text) const {
    std::ofstream(file(name), std::ios::binary) << text;
  }
  std::string read(const std::string &name) const {
    std::stringstream text;
    text << std::ifstream(file(name), std::ios::binary).rdbuf();
    return text.str();
  }
  // The file type bits of a name, links not followed.
  mode_t type(const std::string &name) const {
    struct stat st {};
    return ::lstat(file(name).c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
  }
  bool leftovers() const {  // temporary files of an output
    for (const auto &e : std::filesystem::directory_iterator(path))
      if (e.path().filename().string().find(".tmp") != std::string::npos) return true;
    return false;
  }
};

// Runs `child` in a child process, which ends with its status; returns the
// exit status, or 128 + the signal that ended it.
int inChild(const std::function<int()> &child) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(child());
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

void redirect(int fd, const std::string &path) {
  ::dup2(::open(path.c_str(), fd == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC, 0600), fd);
}

// Runs vyn in `dir` with standard output to `out` (stdout.txt of the folder
// unless given) and standard error to stderr.txt; a child stuck for 60 s is
// killed. Returns the status.
int runVyn(const Folder &dir, const std::vector<std::string> &args, const char *out) {
  std::vector<char *> argv{const_cast<char *>(VYN_BINARY)};
  for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  return inChild([&] {
    redirect(0, "/dev/null");
    redirect(1, out != nullptr ? out : dir.file("stdout.txt"));
    redirect(2, dir.file("stderr.txt"));
    if (::chdir(dir.path.c_str()) != 0) return 120;
    ::alarm(60);
    ::execv(VYN_BINARY, argv.data());
    return 121;
  });
}

// Every case runs the command line in a fresh folder that may also hold a
// FIFO or a folder, a file and a symbolic link. After every run the inputs
// are unchanged, the link and the FIFO are still what they were, no temporary
// file is left, and the files named hold the texts given.
TEST(CommandLine, InputsOutputsAndExitStatus) {
  struct Case {
    const char *name;
    mode_t special;       // S_IFIFO or S_IFDIR, made under the name that follows
    const char *at;       // nullptr: nothing made
    const char *file[2];  // a file and its text, or nullptrs
    const char *link[2];  // a link and its target, or nullptrs
    std::vector<std::string> args;
    const char *stdoutTo;  // nullptr: stdout.txt of the folder
    int status;
    const char *inErr;                                         // text expected on standard error
    std::vector<std::pair<const char *, const char *>> holds;  // file, text in it
  };
  // a log line longer than the log's batch of lines, between shorter ones
  const std::string longName(70000, 'a');
  const std::string longProgram =
      "proc kravo data=d; var y; run; proc kravo data=" + longName + "; var y; run;";
  const std::string longEnd =
      longName + ".csv cannot be read: File name too long.\nNOTE: PROC KRAVO took";
  // clang-format off
  const Case cases[] = {
      {"empty statements around steps", 0, nullptr, {}, {},
       {"-e", "; /* c */ ;\nproc kravo data=d; var y; run;;\n;\n"}, nullptr, 0, "",
       {{"stdout.txt", kListingMark}}},
      {"program is a folder", S_IFDIR, "s", {}, {}, {"s"}, nullptr, 2, "it is a folder", {}},
      {"program is a FIFO", S_IFIFO, "f.vyn", {}, {}, {"f.vyn"}, nullptr, 2, "not a regular file", {}},
      {"schema is a FIFO", S_IFIFO, "d.schema.json", {}, {}, {"p.vyn"}, nullptr, 2,
       "not a regular file", {}},
      {"listing through a link to a FIFO", S_IFIFO, "out.fifo", {}, {"out.lst", "out.fifo"},
       {"p.vyn", "--listing", "out.lst"}, nullptr, 0, "", {}},
      {"listing through a link replaces the target", 0, nullptr, {"target.txt", "old"},
       {"out.lst", "target.txt"}, {"p.vyn", "--listing", "out.lst"}, nullptr, 0, "",
       {{"target.txt", kListingMark}}},
      {"folder of an output missing", 0, nullptr, {}, {}, {"p.vyn", "--json", "nodir/x.json"},
       nullptr, 3, "nodir does not exist", {}},
      {"output is the program", 0, nullptr, {}, {}, {"p.vyn", "--listing", "p.vyn"}, nullptr, 3,
       "is an input of this run", {}},
      {"output is a data file that failed to open", 0, nullptr, {"d.schema.json", "{"}, {},
       {"p.vyn", "--json", "./d.csv"}, nullptr, 3, "is an input of this run", {}},
      {"two outputs on standard output", 0, nullptr, {}, {}, {"p.vyn", "--json", "-"}, nullptr, 3,
       "both go to standard output", {}},
      {"two outputs in one file", 0, nullptr, {}, {}, {"p.vyn", "--json", "a", "--html", "./a"},
       nullptr, 3, "both go to", {}},
      {"log on standard output", 0, nullptr, {}, {}, {"p.vyn", "--log", "-", "--listing", "l.txt"},
       nullptr, 0, "", {{"stdout.txt", "NOTE: PROC KRAVO ended"}, {"l.txt", kListingMark}}},
      {"a warning of a step alone", 0, nullptr, {"b.csv", "g,y\nb\xe9,1\nb\xe9,3\n"}, {},
       {"-e", "proc kravo data=b; by g; var y; run;"}, nullptr, 1, "WARNING: File b.csv", {}},
      {"standard output full", 0, nullptr, {}, {}, {"p.vyn"}, "/dev/full", 2,
       "No space left on device", {}},
      {"a stray statement", 0, nullptr, {}, {}, {"-e", "var y;"}, nullptr, 2,
       "not inside a procedure", {}},
      {"a log line longer than a batch", 0, nullptr, {}, {},
       {"-e", longProgram, "--log", "out.log", "--listing", "l.txt"}, nullptr, 2, "",
       {{"out.log", "NOTE: PROC KRAVO ended with return code 0.\nERROR: File "},
        {"out.log", longEnd.c_str()}}},
  };
  // clang-format on
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Folder dir;
    ASSERT_TRUE(c.at == nullptr ||
                (c.special == S_IFIFO ? ::mkfifo(dir.file(c.at).c_str(), 0600) == 0
                                      : std::filesystem::create_directory(dir.file(c.at))));
    if (c.file[0] != nullptr) dir.write(c.file[0], c.file[1]);
    ASSERT_TRUE(c.link[0] == nullptr || ::symlink(c.link[1], dir.file(c.link[0]).c_str()) == 0);
    // a reader holds the FIFO open, so the writer neither waits nor is cut off
    const int reader = ::open(dir.file("out.fifo").c_str(), O_RDWR | O_NONBLOCK);
    EXPECT_EQ(runVyn(dir, c.args, c.stdoutTo), c.status) << dir.read("stderr.txt");
    if (reader >= 0) {
      char got[65536];
      const ssize_t n = ::read(reader, got, sizeof got);
      EXPECT_NE(std::string(got, n > 0 ? n : 0).find(kListingMark), std::string::npos);
      ::close(reader);
    }
    EXPECT_NE(dir.read("stderr.txt").find(c.inErr), std::string::npos) << dir.read("stderr.txt");
    EXPECT_FALSE(dir.leftovers());
    EXPECT_EQ(dir.read("p.vyn"), kProgram);
    EXPECT_EQ(dir.read("d.csv"), kData);
    EXPECT_TRUE(c.at == nullptr || dir.type(c.at) == c.special);
    EXPECT_TRUE(c.link[0] == nullptr || dir.type(c.link[0]) == S_IFLNK);
    for (const auto &[file, text] : c.holds)
      EXPECT_NE(dir.read(file).find(text), std::string::npos) << file << ": " << dir.read(file);
  }
}

// The exit status follows the worst of return codes and log levels.
TEST(ExitStatus, WorstOfReturnCodesAndLog) {
  using L = vyn::LogLevel;
  const struct {
    int rc;
    std::vector<L> log;
    int status;
  } cases[] = {{0, {L::kNote}, 0},  {4, {}, 1},    {0, {L::kWarning}, 1},
               {0, {L::kError}, 2}, {-1, {}, 2},   {5, {}, 2},
               {112, {}, 2},        {3000, {}, 2}, {4, {L::kNote, L::kError}, 2}};
  for (const auto &c : cases) {
    vyn::output::StepRecord step;
    step.rc = c.rc;
    for (L level : c.log) step.tally.count(level);
    EXPECT_EQ(vyn::exitStatus({step}, vyn::Program{}), c.status) << c.rc;
  }
  vyn::Program warned;
  warned.log.add({L::kWarning, 210, 109, "x"});
  EXPECT_EQ(vyn::exitStatus({}, warned), 1);
}

// The whole command in a child process whose `at`-th allocation from the
// start of the command fails (none when negative), and with `forever` every
// one after it too. Returns the child's status (128 + signal when killed).
int runFailingAt(const Folder &dir, long at, bool forever) {
  for (const char *output : {"out.lst", "out.json", "out.log"})
    std::filesystem::remove(dir.file(output));
  return inChild([&] {
    vyn::prepareFailureReports();
    vyn::Host host;
    host.useLinkedModule(&mcn_main);
    vyn::Command command;
    command.programText = "proc kravo data=d; var y; run; proc kravo data=d; var x; run;";
    command.options = {dir.path, dir.file("out.lst"), dir.file("out.log"), "",
                       dir.file("out.json")};
    redirect(2, dir.file("err.txt"));
    allocations = 0;
    failForever = forever;
    countdown = at;
    const int status = vyn::runGuarded([&] { return vyn::runCommand(command, host); });
    countdown = -1;
    if (at < 0) std::fprintf(stderr, "allocations: %ld\n", allocations.load());
    return status;
  });
}

// Whichever allocation fails, the command reports running out of memory and
// exits with 2, leaves no temporary file, and writes complete outputs or none.
TEST(OutOfMemory, AnyAllocationOfARun) {
  Folder dir;
  ASSERT_EQ(runFailingAt(dir, -1, false), 0);
  const long total = std::atol(dir.read("err.txt").substr(std::strlen("allocations: ")).c_str());
  ASSERT_GT(total, 100);
  const long stride = std::max(1L, total / 100);
  for (bool forever : {false, true}) {
    for (long at = 0; at < total; at += stride) {
      SCOPED_TRACE((forever ? "failing from allocation " : "failing allocation ") +
                   std::to_string(at) + " of " + std::to_string(total));
      EXPECT_EQ(runFailingAt(dir, at, forever), 2);
      const std::string reported = dir.read("err.txt") + dir.read("out.log");
      EXPECT_NE(reported.find("ran out of memory"), std::string::npos) << reported;
      EXPECT_FALSE(dir.leftovers());
      const std::string listing = dir.read("out.lst");
      EXPECT_TRUE(listing.empty() || listing.back() == '\n');
    }
  }
}

}  // namespace
