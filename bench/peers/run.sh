#!/bin/sh
# Builds vyn and runs the two-sample step on the step benchmark's 10^6-row file by vyn, by
# pandas + scipy and by R with data.table (when installed: python3-pandas, python3-scipy,
# r-base-core, r-cran-data.table): wall time, peak memory, and the numbers compared.
# Usage: bench/peers/run.sh [BUILD_DIR] [CSV]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
case $build in /*) ;; *) build=$root/$build ;; esac
csv=${2:-/tmp/vyn-bench/step_1000000_by10.csv}
if [ ! -f "$csv" ]; then
  "$root/bench/step/run.sh" "$build" --runs 1 >/dev/null
fi
cmake --build "$build" --target vyn kravo -j "$(nproc)" >/dev/null
exec python3 "$root/bench/peers/peers.py" "$build/bin/vyn" "$csv"
