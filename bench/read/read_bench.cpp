// A whole step's reading against the practical limit, on one generated file
// of rows `g,by,y1,y2,y3,y4` (g in 1..2, by in 0..9 sorted, with a schema
// sidecar that declares every column, so no typing pass runs):
//
//   loop       map the file, parse all six columns with std::from_chars and
//              sum y1..y4 per level of g: one thread, nothing else;
//   class/by   vyn running `class g; var y1-y4;` and `by by; var y1-y4;`,
//              with VYN_THREADS=1 and 2 (the whole process: start, parse,
//              read, analyse, write the listing).
//
// Each is run several times; the best wall-clock and CPU seconds count, and
// every step is printed as a ratio to the loop of the same run.
//
// usage: read_bench --vyn PATH [--rows N] [--runs N] [--dir DIR]  (the file's folder,
//        /tmp/vyn-bench by default)
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/timing.h"

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

using bench::cpuSeconds;
using bench::Time;

// The data file and its schema, written once per size.
std::string makeFile(const std::string &dir, long rows) {
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/read" + std::to_string(rows) + ".csv";
  if (std::filesystem::exists(path)) return path;
  std::FILE *schema =
      std::fopen((dir + "/read" + std::to_string(rows) + ".schema.json").c_str(), "w");
  std::fputs(
      "{\"fields\": [{\"name\": \"g\", \"type\": \"integer\"}, {\"name\": \"by\", \"type\": "
      "\"integer\"}, {\"name\": \"y1\", \"type\": \"number\"}, {\"name\": \"y2\", \"type\": "
      "\"number\"}, {\"name\": \"y3\", \"type\": \"number\"}, {\"name\": \"y4\", \"type\": "
      "\"number\"}]}\n",
      schema);
  std::fclose(schema);
  const std::string part = path + ".part";
  std::FILE *f = std::fopen(part.c_str(), "w");
  std::mt19937_64 rng(7);
  std::normal_distribution<double> y(50, 10);
  std::fputs("g,by,y1,y2,y3,y4\n", f);
  for (long i = 0; i < rows; ++i)
    std::fprintf(f, "%ld,%ld,%.4f,%.4f,%.4f,%.4f\n", i % 2 + 1, i * 10 / rows, y(rng), y(rng),
                 y(rng), y(rng));
  std::fclose(f);
  std::filesystem::rename(part, path);
  return path;
}

// The minimal loop; returns a checksum so nothing is optimised away.
double loop(const std::string &path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  struct stat st {};
  ::fstat(fd, &st);
  const size_t size = static_cast<size_t>(st.st_size);
  const char *p = static_cast<const char *>(::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
  const char *end = p + size, *base = p;
  p = static_cast<const char *>(std::memchr(p, '\n', size)) + 1;
  double sums[3][4] = {};
  while (p < end) {
    double v[6];
    for (double &x : v) {
      auto r = std::from_chars(p, end, x);
      p = r.ptr + 1;
    }
    const int g = static_cast<int>(v[0]) == 2 ? 2 : 1;
    for (int k = 0; k < 4; ++k) sums[g][k] += v[2 + k];
  }
  ::munmap(const_cast<char *>(base), size);
  ::close(fd);
  return sums[1][0] + sums[2][3];
}

// Runs vyn on a program with VYN_THREADS set; the listing goes nowhere.
bool runVyn(const std::string &vyn, const std::string &dir, const std::string &program,
            int threads) {
  const std::string env = "VYN_THREADS=" + std::to_string(threads);
  std::vector<char *> envp;
  for (char **e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "VYN_THREADS=", 12) != 0) envp.push_back(*e);
  envp.push_back(const_cast<char *>(env.c_str()));
  envp.push_back(nullptr);
  std::vector<std::string> args{vyn, "--data-dir", dir, "-e", program};
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  const int rc = posix_spawn(&pid, vyn.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return rc == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char **argv) {
  long rows = 1000000;
  int runs = 5;
  std::string vyn, folder = "/tmp/vyn-bench";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--rows") rows = std::atol(argv[i + 1]);
    if (a == "--runs") runs = std::atoi(argv[i + 1]);
    if (a == "--vyn") vyn = argv[i + 1];
    if (a == "--dir") folder = argv[i + 1];
  }
  if (vyn.empty() || rows < 10 || runs < 1) {
    std::fprintf(stderr, "usage: read_bench --vyn PATH [--rows N] [--runs N] [--dir DIR]\n");
    return 2;
  }
  const std::string path = makeFile(folder, rows);
  const std::string dir = std::filesystem::path(path).parent_path();
  const std::string name = std::filesystem::path(path).stem();
  std::printf("file %s: %ld rows, %.0f MB\n", path.c_str(), rows,
              static_cast<double>(std::filesystem::file_size(path)) / 1e6);

  double check = loop(path);  // warm the page cache
  Time base;
  for (int r = 0; r < runs; ++r) {
    const double c0 = cpuSeconds(RUSAGE_SELF);
    const auto w0 = Clock::now();
    check += loop(path);
    base.keepBest(cpuSeconds(RUSAGE_SELF) - c0,
                  std::chrono::duration<double>(Clock::now() - w0).count());
  }
  std::printf("loop                      %7.3f s wall  %7.3f s cpu  (checksum %.0f)\n", base.wall,
              base.cpu, check);
  const struct {
    const char *label, *statements;
  } steps[] = {{"class g; var y1-y4", "class g; var y1-y4;"},
               {"by by; var y1-y4", "by by; var y1-y4;"}};
  int failed = 0;
  for (const auto &s : steps) {
    for (int threads : {1, 2}) {
      const std::string program = "proc kravo data=" + name + "; " + s.statements + " run;";
      Time t;
      for (int r = 0; r < runs; ++r) {
        const double c0 = cpuSeconds(RUSAGE_CHILDREN);
        const auto w0 = Clock::now();
        if (!runVyn(vyn, dir, program, threads)) {
          std::fprintf(stderr, "vyn failed: %s\n", program.c_str());
          ++failed;
          break;
        }
        t.keepBest(cpuSeconds(RUSAGE_CHILDREN) - c0,
                   std::chrono::duration<double>(Clock::now() - w0).count());
      }
      std::printf("%-18s %d thread%s %7.3f s wall  %7.3f s cpu  wall/loop %.2f  cpu/loop %.2f\n",
                  s.label, threads, threads == 1 ? " " : "s", t.wall, t.cpu, t.wall / base.wall,
                  t.cpu / base.cpu);
    }
  }
  std::printf("targets: wall/loop <= 1.2 with one thread, <= 0.7 with two\n");
  return failed == 0 ? 0 : 1;
}
