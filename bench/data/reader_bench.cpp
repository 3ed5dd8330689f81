// The CSV reader against its practical limits, on one generated file:
//
//   host     DataSet::open (header, schema look-up, the inference pass over
//            every row) and then ByGroups + Cursor reading all six numeric
//            columns of every row: the whole read path of a step;
//   minimal  map the file and parse the same six columns with
//            std::from_chars, nothing else (the practical limit);
//   wc -l    the page-cache limit.
//
// Each is run several times after a warm-up; the best time counts. Times are
// CPU seconds of the process (of the child for wc -l), which stay meaningful
// on a shared machine; wall-clock seconds are printed beside them. The file
// (10^7 rows, 6 numeric columns by default) is generated once and kept.
//
// usage: data_bench [--rows N] [--file PATH] [--runs N]
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/timing.h"
#include "vyn/data/cursor.h"
#include "vyn/data/dataset.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kColumns = 6;

double seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

using bench::cpuSeconds;
using bench::Time;

// Six columns as a study would have them: an id, a count, measurements with
// two to four decimals, some negative.
void generate(const std::string &path, long rows) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::string tmp = path + ".tmp";
  FILE *f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) {
    std::perror(tmp.c_str());
    std::exit(1);
  }
  std::mt19937_64 rng(20240601);
  std::normal_distribution<double> height(170, 10), change(0, 2.5);
  std::uniform_real_distribution<double> dose(0, 1000);
  std::uniform_int_distribution<int> count(0, 500);
  std::string buf = "id,visits,height,weight,change,dose\n";
  char num[64];
  auto put = [&](double v, int decimals, char end) {
    auto r = std::to_chars(num, num + sizeof num, v, std::chars_format::fixed, decimals);
    buf.append(num, r.ptr);
    buf.push_back(end);
  };
  for (long i = 1; i <= rows; ++i) {
    put(static_cast<double>(i), 0, ',');
    put(count(rng), 0, ',');
    double h = height(rng);
    put(h, 2, ',');
    put(h * h * 0.00231 + change(rng), 3, ',');
    put(change(rng), 4, ',');
    put(dose(rng), 2, '\n');
    if (buf.size() > (1 << 20)) {
      std::fwrite(buf.data(), 1, buf.size(), f);
      buf.clear();
    }
  }
  std::fwrite(buf.data(), 1, buf.size(), f);
  std::fclose(f);
  std::filesystem::rename(tmp, path);
}

struct Result {
  double sum = 0;
  long rows = 0;
};

// The practical limit: map, skip the header, six from_chars per row.
Result minimalLoop(const std::string &path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  struct stat st {};
  ::fstat(fd, &st);
  size_t size = static_cast<size_t>(st.st_size);
  const char *base =
      static_cast<const char *>(::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
  ::close(fd);
  const char *p = static_cast<const char *>(std::memchr(base, '\n', size)) + 1;
  const char *end = base + size;
  Result r;
  while (p < end) {
    for (int c = 0; c < kColumns; ++c) {
      double v;
      auto res = std::from_chars(p, end, v);
      r.sum += v;
      p = res.ptr + 1;  // past ',' or '\n'
    }
    ++r.rows;
  }
  ::munmap(const_cast<char *>(base), size);
  return r;
}

struct HostTimes {
  double open = 0, read = 0, openWall = 0, readWall = 0;
};

Result hostPath(const std::string &path, HostTimes &t) {
  double c0 = cpuSeconds();
  auto t0 = Clock::now();
  std::unique_ptr<vyn::data::DataSet> ds = vyn::data::DataSet::open(path);
  double c1 = cpuSeconds();
  auto t1 = Clock::now();
  std::vector<int> columns = {0, 1, 2, 3, 4, 5};
  vyn::data::ByGroups by(*ds, {}, false, columns);
  Result r;
  while (by.nextGroup()) {
    while (by.nextRow()) {
      const vyn::data::Cursor &row = by.row();
      for (int c = 0; c < kColumns; ++c) r.sum += row.number(c);
      ++r.rows;
    }
  }
  double c2 = cpuSeconds();
  auto t2 = Clock::now();
  t.open = c1 - c0;
  t.read = c2 - c1;
  t.openWall = seconds(t0, t1);
  t.readWall = seconds(t1, t2);
  return r;
}

// wc -l in a child process; returns its CPU seconds, and the wall seconds.
double wcLines(const std::string &path, double &wall) {
  std::string cmd = "wc -l '" + path + "' > /dev/null";
  double c0 = cpuSeconds(RUSAGE_CHILDREN);
  auto t0 = Clock::now();
  if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "wc -l failed\n");
  wall = seconds(t0, Clock::now());
  return cpuSeconds(RUSAGE_CHILDREN) - c0;
}

void line(const char *name, const Time &t, long rows, double mb, const Time &base) {
  std::printf("%-26s %7.3f s %7.2f Mrows/s %6.0f MB/s %6.2fx  | wall %7.3f s %6.2fx\n", name, t.cpu,
              rows / t.cpu / 1e6, mb / t.cpu, t.cpu / base.cpu, t.wall, t.wall / base.wall);
}

}  // namespace

int main(int argc, char **argv) {
  long rows = 10000000;
  int runs = 3;
  std::string path;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--rows")
      rows = std::atol(argv[i + 1]);
    else if (a == "--file")
      path = argv[i + 1];
    else if (a == "--runs")
      runs = std::atoi(argv[i + 1]);
  }
  if (path.empty()) path = "/tmp/vyn-bench/reader_" + std::to_string(rows) + "x6.csv";
  if (!std::filesystem::exists(path)) {
    std::printf("generating %s (%ld rows)...\n", path.c_str(), rows);
    auto t0 = Clock::now();
    generate(path, rows);
    std::printf("  %.1f s\n", seconds(t0, Clock::now()));
  }
  double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;

  double ignored;
  wcLines(path, ignored);  // warm the page cache
  Time wc, minimalTime, host, open, read;
  Result minimal, hostResult;
  for (int i = 0; i < runs; ++i) {
    double w;
    double c = wcLines(path, w);
    wc.keepBest(c, w);
    double c0 = cpuSeconds();
    auto t0 = Clock::now();
    minimal = minimalLoop(path);
    minimalTime.keepBest(cpuSeconds() - c0, seconds(t0, Clock::now()));
    HostTimes t;
    hostResult = hostPath(path, t);
    host.keepBest(t.open + t.read, t.openWall + t.readWall);
    open.keepBest(t.open, t.openWall);
    read.keepBest(t.read, t.readWall);
  }
  bool same = minimal.rows == hostResult.rows &&
              std::fabs(minimal.sum - hostResult.sum) <= 1e-9 * std::fabs(minimal.sum);
  double load[1] = {0};
  ::getloadavg(load, 1);
  std::printf("file %s: %ld rows, %.0f MB; best of %d runs; load average %.1f on %ld cores\n",
              path.c_str(), minimal.rows, mb, runs, load[0], ::sysconf(_SC_NPROCESSORS_ONLN));
  std::printf("%-26s %9s %15s %11s %7s  | %s\n", "CPU time", "", "rows", "bytes", "ratio",
              "wall-clock time, ratio");
  line("wc -l (page cache)", wc, minimal.rows, mb, minimalTime);
  line("minimal from_chars loop", minimalTime, minimal.rows, mb, minimalTime);
  line("host: open (inference)", open, minimal.rows, mb, minimalTime);
  line("host: BY-group read", read, minimal.rows, mb, minimalTime);
  line("host: whole read path", host, minimal.rows, mb, minimalTime);
  std::printf("host/minimal %.2f (goal <= 1.5; wall %.2f), minimal/wc %.2f; checksums %s\n",
              host.cpu / minimalTime.cpu, host.wall / minimalTime.wall, minimalTime.cpu / wc.cpu,
              same ? "agree" : "DIFFER");
  return same ? 0 : 1;
}
