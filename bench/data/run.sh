#!/bin/sh
# Builds and runs the CSV reader benchmark: the host's read path against a
# minimal std::from_chars loop and `wc -l` on a generated 10^7-row, 6-column
# file (kept under /tmp/vyn-bench). Usage: bench/data/run.sh [BUILD_DIR] [ARGS...]
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
cmake --build "$build" --target data_bench -j "$(nproc)"
exec "$build/bench/data/data_bench" "$@"
