#!/bin/sh
# Configures BUILD_DIR when it is new, builds TARGET there and runs
# bench/FOLDER/TARGET with the remaining arguments.
# Usage: bench/build_and_run.sh FOLDER TARGET [BUILD_DIR] [ARGS...]
set -eu
folder=$1 target=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
case $build in /*) ;; *) build=$root/$build ;; esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  gen=""
  command -v ninja >/dev/null 2>&1 && gen="-G Ninja"
  cmake -S "$root" -B "$build" $gen -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target "$target" -j "$(nproc)"
exec "$build/bench/$folder/$target" "$@"
