#!/bin/sh
# Builds the typing benchmark and times the typing pass on one and two
# threads against a plain loop over the same generated rows, in memory.
# Usage: bench/typing/run.sh [BUILD_DIR] [ARGS...]  (ARGS: --rows N --runs N)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
exec "$root/bench/build_and_run.sh" typing typing_bench "$@"
