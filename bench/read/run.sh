#!/bin/sh
# Builds vyn and the read benchmark, then times two steps run by vyn with one
# and two threads against a minimal map-and-from_chars loop over the same
# columns of a generated file (kept under /tmp/vyn-bench).
# Usage: bench/read/run.sh [BUILD_DIR] [ARGS...]  (ARGS: --rows N --runs N --dir DIR)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
case $build in /*) ;; *) build=$root/$build ;; esac
exec "$root/bench/build_and_run.sh" read read_bench "$build" --vyn "$build/bin/vyn" "$@"
