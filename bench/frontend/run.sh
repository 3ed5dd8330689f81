#!/bin/sh
# Builds and runs the front-end growth benchmark: a long statement, a wide
# CSV header and a numbered variable range, each at n and 4n in one run,
# printed as the ratio t(4n)/t(n) (about 4 when linear, 16 when quadratic).
# Usage: bench/frontend/run.sh [BUILD_DIR] [N_TOKENS [N_COLUMNS [N_RANGE]]]
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
cmake --build "$build" --target frontend_bench -j "$(nproc)"
exec "$build/bench/frontend/frontend_bench" "$@"
