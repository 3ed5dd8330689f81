#!/bin/sh
# Builds vyn and runs the two-sample step and the BY step (10,000 groups) on the step
# benchmark's 10^6-row files by vyn, by pandas + scipy and by R with data.table (when
# installed: python3-pandas, python3-scipy, r-base-core, r-cran-data.table): wall time, peak
# memory, and the numbers compared.
# Usage: bench/peers/run.sh [BUILD_DIR] [--rows N]  (the files are generated when missing)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
case $build in /*) ;; *) build=$root/$build ;; esac
[ $# -gt 0 ] && shift
rows=1000000
[ "${1:-}" = --rows ] && rows=$2
dir=/tmp/vyn-bench
if [ ! -f "$build/CMakeCache.txt" ]; then
  gen=""
  command -v ninja >/dev/null 2>&1 && gen="-G Ninja"
  cmake -S "$root" -B "$build" $gen -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target step_bench vyn kravo -j "$(nproc)" >/dev/null
"$build/bench/step/step_bench" --generate --rows "$rows" --dir "$dir"
exec python3 "$root/bench/peers/peers.py" "$build/bin/vyn" "$dir/step_${rows}_by10.csv" \
  "$dir/step_${rows}_by10000.csv"
