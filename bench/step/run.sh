#!/bin/sh
# Builds vyn and the step benchmark and runs `class g; var y1-y4;` and `by by; var y1-y4;`
# with 10 and 10,000 BY groups against a minimal mmap + from_chars loop, in one run.
# Usage: bench/step/run.sh [BUILD_DIR] [--rows 10000000] [--runs N]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
case $build in /*) ;; *) build=$root/$build ;; esac
exec "$root/bench/build_and_run.sh" step step_bench "$build" --vyn "$build/bin/vyn" "$@"
