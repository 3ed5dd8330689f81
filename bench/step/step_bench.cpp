// Whole steps run by vyn against the practical limit of reading the same columns, in one run:
//
//   minimal  map the file, parse g, by and y1-y4 of every row with std::from_chars and add up
//            count, sum and sum of squares of y1-y4 per level of g and per BY group, at once;
//   vyn      `class g; var y1-y4;` and `by by; var y1-y4;` on a file whose sorted BY
//            variable has 10 levels and on one with 10,000 levels (the same rows otherwise:
//            the BY values are written with five digits in both, so the files are of one
//            size and only the grouping differs), each with VYN_THREADS=1 and 2.
//
// Printed: wall and CPU seconds (CPU time stays meaningful on a shared machine), the CPU
// seconds of the main (reading) thread and of the others (the typing pass and the parsing
// workers), the ratio of wall time to the minimal loop and of CPU time to its CPU time (the
// one-thread ratio that a busy machine disturbs least), the ratio of 10,000 to 10 BY groups
// (the median over rounds that run the two files back to back, and the ratio of the bests),
// and the peak memory of each vyn run (VmHWM, and the largest RssAnon seen while it ran,
// both from /proc).  The files (10^6 rows by default; --rows 10000000 for 10^7) are
// generated once and kept under /tmp/vyn-bench.
//
// usage: step_bench --vyn PATH [--rows N] [--runs N] [--dir DIR]
//        step_bench --generate [--rows N] [--dir DIR]   (the files only)
#include <fcntl.h>
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
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/timing.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  std::string vyn;
  std::string dir = "/tmp/vyn-bench";
  long rows = 1000000;
  int runs = 2;
  bool generateOnly = false;
};

// The first BY value: every BY value has its five digits, whatever the levels.
constexpr long kFirstByValue = 10000;

// A file kept from an earlier run was written with these BY values: its first row's
// second field is kFirstByValue.
bool generatedAlike(const std::string &path) {
  std::ifstream in(path);
  std::string header, row;
  std::getline(in, header);
  std::getline(in, row);
  const size_t comma = row.find(',');
  return comma != std::string::npos &&
         row.compare(comma + 1, 6, std::to_string(kFirstByValue) + ",") == 0;
}

// g with two levels, by sorted with `levels` levels (at most 89,999), y1-y4 normal with
// about 3% missing.
void generate(const std::string &path, long rows, long levels) {
  if (std::filesystem::exists(path) && generatedAlike(path)) return;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const std::string tmp = path + ".tmp";
  FILE *f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) {
    std::perror(tmp.c_str());
    std::exit(1);
  }
  std::mt19937_64 rng(20261206);
  std::normal_distribution<double> y(10, 2);
  std::uniform_real_distribution<double> u(0, 1);
  std::string buf = "g,by,y1,y2,y3,y4\n";
  char num[64];
  for (long i = 0; i < rows; ++i) {
    buf += u(rng) < 0.5 ? "a," : "b,";
    buf += std::to_string(kFirstByValue + i * levels / rows);
    for (int c = 0; c < 4; ++c) {
      buf.push_back(',');
      const double v = y(rng) + c;
      if (u(rng) < 0.03) continue;
      auto r = std::to_chars(num, num + sizeof num, v, std::chars_format::fixed, 3);
      buf.append(num, r.ptr);
    }
    buf.push_back('\n');
    if (buf.size() > (1 << 20)) {
      std::fwrite(buf.data(), 1, buf.size(), f);
      buf.clear();
    }
  }
  std::fwrite(buf.data(), 1, buf.size(), f);
  std::fclose(f);
  std::filesystem::rename(tmp, path);
}

// The practical limit: map, skip the header, skip g and by, four from_chars per row.
// Count, sum and sum of squares of one variable.
struct Sums {
  double n = 0, s = 0, ss = 0;
  void add(double v) {
    n += 1;
    s += v;
    ss += v * v;
  }
};

// The sums both steps need, in one pass: y1-y4 per level of g (its first
// byte) and per BY group (a new group where `by` changes).
double minimalLoop(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  struct stat st {};
  ::fstat(fd, &st);
  const size_t size = static_cast<size_t>(st.st_size);
  const char *base =
      static_cast<const char *>(::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
  ::close(fd);
  const char *end = base + size;
  const char *p = static_cast<const char *>(std::memchr(base, '\n', size)) + 1;
  Sums level[2][4], group[4];
  double total = 0, by = -1;
  while (p < end) {
    const int g = *p == 'a' ? 0 : 1;
    p += 2;
    double b = 0;
    p = std::from_chars(p, end, b).ptr + 1;
    if (b != by) {
      for (Sums &s : group) total += s.s + s.ss / (s.n + 1), s = Sums{};
      by = b;
    }
    for (int c = 0; c < 4; ++c) {
      double v = 0;
      auto r = std::from_chars(p, end, v);
      if (r.ec == std::errc()) {
        level[g][c].add(v);
        group[c].add(v);
      }
      p = r.ptr + 1;  // past ',' or '\n' (an empty field leaves ptr at the separator)
    }
  }
  ::munmap(const_cast<char *>(base), size);
  for (const auto &l : level)
    for (const Sums &s : l) total += s.s + s.ss / (s.n + 1);
  return total;
}

// One value of /proc/PID/status in kB, or -1.
long statusKb(pid_t pid, const char *key) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const size_t n = std::strlen(key);
  while (std::getline(f, line)) {
    if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n + 1);
  }
  return -1;
}

// CPU seconds of each thread of a process so far, by thread id, from /proc (a thread that
// ended keeps the last value seen).
void sampleThreads(pid_t pid, std::map<long, double> &cpu) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code ec;
  for (const auto &task : std::filesystem::directory_iterator(tasks, ec)) {
    std::ifstream f(task.path() / "schedstat");
    long long ns = 0;
    if (f >> ns) cpu[std::atol(task.path().filename().c_str())] = static_cast<double>(ns) * 1e-9;
  }
}

// One run of vyn on one step.
struct RunResult {
  double wall = 0, cpu = 0;
  double mainCpu = 0, otherCpu = 0;  // CPU of the main thread and of the others
  long hwmKb = 0, rssAnonKb = 0;
  int status = 0;
};

// Runs vyn on one step; the peak RssAnon and the threads' CPU are sampled every few
// milliseconds (seldom enough to leave the CPUs to vyn), VmHWM comes from the kernel's
// high-water mark (the child's maximum resident set).
RunResult runVyn(const Options &o, const std::string &step, const char *threads) {
  const std::string listing = o.dir + "/step.lst", log = o.dir + "/step.log";
  // vyn replaces its outputs by rename; the outputs of the run before, which may be of
  // the other file's 10,000 groups, are removed first, so that no run pays for freeing them
  ::unlink(listing.c_str());
  ::unlink(log.c_str());
  const auto t0 = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("VYN_THREADS", threads, 1);
    ::execl(o.vyn.c_str(), o.vyn.c_str(), "--data-dir", o.dir.c_str(), "--listing", listing.c_str(),
            "--log", log.c_str(), "-e", step.c_str(), (char *)nullptr);
    std::perror(o.vyn.c_str());
    std::_Exit(127);
  }
  RunResult r;
  int status = 0;
  struct rusage ru {};
  std::map<long, double> cpu;
  while (::wait4(pid, &status, WNOHANG, &ru) == 0) {
    r.rssAnonKb = std::max(r.rssAnonKb, statusKb(pid, "RssAnon:"));
    sampleThreads(pid, cpu);
    ::usleep(5000);
  }
  r.wall = std::chrono::duration<double>(Clock::now() - t0).count();
  for (const auto &[tid, seconds] : cpu) (tid == pid ? r.mainCpu : r.otherCpu) += seconds;
  r.cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
          static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
  r.hwmKb = ru.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  return r;
}

// The runs of one step: the best times, the threads' CPU of the run whose main thread
// used least, the largest memory and the last exit status.
struct Best {
  RunResult r{1e30, 1e30, 1e30, 1e30, 0, 0, 0};
  void keep(const RunResult &run) {
    r.wall = std::min(r.wall, run.wall);
    r.cpu = std::min(r.cpu, run.cpu);
    if (run.mainCpu < r.mainCpu) {
      r.mainCpu = run.mainCpu;
      r.otherCpu = run.otherCpu;
    }
    r.hwmKb = std::max(r.hwmKb, run.hwmKb);
    r.rssAnonKb = std::max(r.rssAnonKb, run.rssAnonKb);
    r.status = run.status;
  }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

Options parse(int argc, char **argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--generate") {
      o.generateOnly = true;
      continue;
    }
    if (i + 1 == argc) break;
    if (a == "--vyn") o.vyn = argv[i + 1];
    if (a == "--rows") o.rows = std::atol(argv[i + 1]);
    if (a == "--runs") o.runs = std::atoi(argv[i + 1]);
    if (a == "--dir") o.dir = argv[i + 1];
    ++i;
  }
  if ((o.vyn.empty() && !o.generateOnly) || o.rows < 1 || o.runs < 1) {
    std::fprintf(stderr, "usage: step_bench --vyn PATH [--rows N] [--runs N] [--dir DIR]\n");
    std::exit(2);
  }
  return o;
}

}  // namespace

int main(int argc, char **argv) {
  const Options o = parse(argc, argv);
  const long levels[] = {10, 10000};
  std::string names[2];
  for (int k = 0; k < 2; ++k) {
    names[k] = "step_" + std::to_string(o.rows) + "_by" + std::to_string(levels[k]);
    generate(o.dir + "/" + names[k] + ".csv", o.rows, levels[k]);
  }
  if (o.generateOnly) return 0;
  bench::Time minimal;
  for (int run = 0; run < o.runs; ++run) {
    const auto t0 = Clock::now();
    const double c0 = bench::cpuSeconds();
    volatile double sink = minimalLoop(o.dir + "/" + names[0] + ".csv");
    (void)sink;
    minimal.keepBest(bench::cpuSeconds() - c0,
                     std::chrono::duration<double>(Clock::now() - t0).count());
  }
  std::printf(
      "rows %ld, best of %d runs; minimal mmap + from_chars loop (sums per g level and BY group): "
      "wall %.3f s, cpu %.3f s\n",
      o.rows, o.runs, minimal.wall, minimal.cpu);
  std::printf("%-7s %-6s %-22s %9s %9s %9s %9s %9s %9s %10s %12s %6s\n", "threads", "levels",
              "step", "wall s", "cpu s", "main s", "others s", "/minimal", "cpu/cpu", "VmHWM MB",
              "RssAnon MB", "exit");
  const char *steps[] = {"class g; var y1-y4;", "by by; var y1-y4;"};
  for (const char *threads : {"1", "2"}) {
    // Each round runs a step on both files one after the other, in turns first the one
    // and then the other, so that the 10,000 vs 10 BY groups ratio of a round compares
    // two runs on a machine in the same state; the median of the rounds is printed.
    Best best[2][2];  // by levels, by step
    std::vector<double> wallRatio, cpuRatio;
    for (int run = 0; run < o.runs; ++run) {
      for (int s = 0; s < 2; ++s) {
        RunResult r[2];
        for (int i = 0; i < 2; ++i) {
          const int k = (run + i) % 2;
          r[k] = runVyn(o, "proc kravo data=" + names[k] + "; " + steps[s] + " run;", threads);
          best[k][s].keep(r[k]);
        }
        if (s == 1) {
          wallRatio.push_back(r[1].wall / r[0].wall);
          cpuRatio.push_back(r[1].cpu / r[0].cpu);
        }
      }
    }
    for (int k = 0; k < 2; ++k) {
      for (int s = 0; s < 2; ++s) {
        const RunResult &r = best[k][s].r;
        std::printf("%-7s %-6ld %-22s %9.3f %9.3f %9.3f %9.3f %9.2f %9.2f %10.1f %12.1f %6d\n",
                    threads, levels[k], steps[s], r.wall, r.cpu, r.mainCpu, r.otherCpu,
                    r.wall / minimal.wall, r.cpu / minimal.cpu, r.hwmKb / 1024.0,
                    r.rssAnonKb / 1024.0, r.status);
      }
    }
    std::printf(
        "threads %s: 10,000 vs 10 BY groups on the same rows: wall %.2f, cpu %.2f (median of %d "
        "paired runs; best vs best: wall %.2f, cpu %.2f)\n",
        threads, median(wallRatio), median(cpuRatio), o.runs, best[1][1].r.wall / best[0][1].r.wall,
        best[1][1].r.cpu / best[0][1].r.cpu);
  }
  return 0;
}
