#!/bin/sh
# Builds and runs the peer report of the distribution functions: accuracy on the mpmath
# grid and calls per second, ours against Boost.Math and R's Rmath, in one run.
# Usage: bench/numerics/run.sh [BUILD_DIR] [GRID_CSV]
# (needs libboost-math-dev and r-mathlib: apt-get install libboost-math-dev r-mathlib)
exec "$(dirname "$0")/../build_and_run.sh" numerics numerics_peers "$@"
