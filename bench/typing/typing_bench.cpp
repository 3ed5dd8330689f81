// The typing pass (DataSet::fromText: the shape of every row, the type and
// length of every column) on generated rows `g,by,y1,y2,y3,y4` like those
// of the step benchmark (g a letter, by in 0..9 sorted, y1-y4 with three
// decimals and about 3% missing), against a plain loop over the same bytes
// that counts the delimiters and line ends: the least a pass that checks
// the shape of every row does. The text is in memory; each is run several
// times, the best wall-clock and CPU seconds count, and the typing pass on
// one and on two threads is printed as a ratio to the loop of the same run.
//
// usage: typing_bench [--rows N] [--runs N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>

#include "bench/timing.h"
#include "vyn/data/dataset.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string makeText(long rows) {
  std::mt19937_64 rng(7);
  std::normal_distribution<double> y(10, 2);
  std::bernoulli_distribution missing(0.03);
  std::string text = "g,by,y1,y2,y3,y4\n";
  char cell[32];
  for (long i = 0; i < rows; ++i) {
    text += rng() % 2 == 0 ? "a," : "b,";
    text += std::to_string(i * 10 / rows);
    for (int k = 0; k < 4; ++k) {
      text += ',';
      const double v = y(rng);
      if (!missing(rng)) text.append(cell, std::snprintf(cell, sizeof cell, "%.3f", v));
    }
    text += '\n';
  }
  return text;
}

// The plain loop; returns the counts so nothing is optimised away.
long loop(const std::string &text) {
  long delimiters = 0, lines = 0;
  for (const char c : text) {
    delimiters += c == ',';
    lines += c == '\n';
  }
  return delimiters + lines;
}

// The CPU and wall-clock seconds of g().
template <class G>
std::pair<double, double> timed(G g) {
  const double cpu = bench::cpuSeconds();
  const auto wall = Clock::now();
  g();
  return {bench::cpuSeconds() - cpu, std::chrono::duration<double>(Clock::now() - wall).count()};
}

// The best of `runs` timings that f makes.
template <class F>
bench::Time best(int runs, F f) {
  bench::Time t;
  for (int r = 0; r < runs; ++r) {
    const auto [cpu, wall] = f();
    t.keepBest(cpu, wall);
  }
  return t;
}

}  // namespace

int main(int argc, char **argv) {
  long rows = 1000000;
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--rows") == 0) rows = std::atol(argv[i + 1]);
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
  }
  const std::string text = makeText(rows);
  long sink = 0;
  const bench::Time plain = best(runs, [&] { return timed([&] { sink += loop(text); }); });
  std::printf("%ld rows, %.1f MB, best of %d runs\n", rows, text.size() / 1e6, runs);
  std::printf("%-22s %8s %8s %10s\n", "", "wall s", "cpu s", "x loop");
  std::printf("%-22s %8.3f %8.3f %10.2f\n", "loop", plain.wall, plain.cpu, 1.0);
  for (const int threads : {1, 2}) {
    std::string copy;
    const bench::Time typing = best(runs, [&] {
      copy = text;  // fromText takes the text: the copy is not timed
      return timed([&] {
        sink += vyn::data::DataSet::fromText("bench.csv", std::move(copy), ',', {threads})
                    ->observations();
      });
    });
    const std::string name =
        "typing, " + std::to_string(threads) + " thread" + (threads > 1 ? "s" : "");
    std::printf("%-22s %8.3f %8.3f %10.2f\n", name.c_str(), typing.wall, typing.cpu,
                typing.wall / plain.wall);
  }
  std::printf("(rows typed, all runs: %ld)\n", sink);
  return sink == 0 ? 1 : 0;
}
