#!/bin/sh
# Builds and runs the peer report of the distribution functions: accuracy on the mpmath
# grid and calls per second, ours against Boost.Math and R's Rmath, in one run.
# Usage: bench/numerics/run.sh [BUILD_DIR] [GRID_CSV]
# (needs libboost-math-dev and r-mathlib: apt-get install libboost-math-dev r-mathlib)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
case $build in /*) ;; *) build=$root/$build ;; esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  gen=""
  command -v ninja >/dev/null 2>&1 && gen="-G Ninja"
  cmake -S "$root" -B "$build" $gen -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target numerics_peers -j "$(nproc)"
exec "$build/bench/numerics/numerics_peers" "$@"
