// Timing shared by the benchmarks: CPU seconds from getrusage and the best
// of several runs.
#pragma once

#include <sys/resource.h>

#include <algorithm>

namespace bench {

// CPU time (user + system) of this process, or of its waited-for children.
inline double cpuSeconds(int who = RUSAGE_SELF) {
  struct rusage u {};
  ::getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// A measured time: CPU and wall-clock seconds, the best of several runs.
struct Time {
  double cpu = 1e30, wall = 1e30;
  void keepBest(double c, double w) {
    cpu = std::min(cpu, c);
    wall = std::min(wall, w);
  }
};

}  // namespace bench
