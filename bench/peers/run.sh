#!/bin/sh
# Builds vyn and runs the two-sample step on the step benchmark's 10^6-row file by vyn, by
# pandas + scipy and by R with data.table (when installed: python3-pandas, python3-scipy,
# r-base-core, r-cran-data.table): wall time, peak memory, and the numbers compared.
# Usage: bench/peers/run.sh [BUILD_DIR] [CSV]  (CSV: g, y1-y4 columns; by default the step
# benchmark's 10^6-row file, generated when missing)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
case $build in /*) ;; *) build=$root/$build ;; esac
csv=${2:-/tmp/vyn-bench/step_1000000_by10.csv}
if [ ! -f "$build/CMakeCache.txt" ]; then
  gen=""
  command -v ninja >/dev/null 2>&1 && gen="-G Ninja"
  cmake -S "$root" -B "$build" $gen -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target step_bench vyn kravo -j "$(nproc)" >/dev/null
[ -f "$csv" ] || "$build/bench/step/step_bench" --generate --dir "$(dirname "$csv")"
exec python3 "$root/bench/peers/peers.py" "$build/bin/vyn" "$csv"
