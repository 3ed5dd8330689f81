#!/bin/sh
# Builds and runs the front-end growth benchmark: a long statement, a wide
# CSV header and a numbered variable range, each at n and 4n in one run,
# printed as the ratio t(4n)/t(n) (about 4 when linear, 16 when quadratic).
# Usage: bench/frontend/run.sh [BUILD_DIR] [N_TOKENS [N_COLUMNS [N_RANGE]]]
exec "$(dirname "$0")/../build_and_run.sh" frontend frontend_bench "$@"
