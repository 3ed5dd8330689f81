#!/bin/sh
# Builds vyn and the step benchmark and runs `class g; var y1-y4;` and `by by; var y1-y4;`
# with 10 and 10,000 BY groups against a minimal mmap + from_chars loop, in one run.
# Usage: bench/step/run.sh [BUILD_DIR] [--rows 10000000] [--runs N]
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
cmake --build "$build" --target step_bench vyn kravo -j "$(nproc)" >/dev/null
exec "$build/bench/step/step_bench" --vyn "$build/bin/vyn" "$@"
