#!/bin/sh
# Builds and runs the CSV reader benchmark: the host's read path against a
# minimal std::from_chars loop and `wc -l` on a generated 10^7-row, 6-column
# file (kept under /tmp/vyn-bench). Usage: bench/data/run.sh [BUILD_DIR] [ARGS...]
exec "$(dirname "$0")/../build_and_run.sh" data data_bench "$@"
