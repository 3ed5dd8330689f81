#!/bin/sh
# Builds the whole-program fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer, every source instrumented) in build-fuzz-program
# and runs it for N seconds on one core. Inputs go up to 1 MB, so costs that
# grow faster than the input show up as slow units.
# Usage: fuzz/run_program.sh [SECONDS] [extra libFuzzer flags...]   (default 60)
# The corpus grows in fuzz/corpus-program (not committed), seeded from
# fuzz/seeds/program (fuzz/make_program_seeds.py writes those from examples/).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-60}
[ $# -gt 0 ] && shift
build=$root/build-fuzz-program
mkdir -p "$build" "$here/corpus-program"
if [ ! -f "$build/CMakeCache.txt" ]; then
  gen=""
  command -v ninja >/dev/null 2>&1 && gen="-G Ninja"
  cmake -S "$root" -B "$build" $gen -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER="${CC:-clang}" -DCMAKE_CXX_COMPILER="${CXX:-clang++}" \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" -DKRAVO_SANITIZE=ON -DKRAVO_BENCH=OFF \
    -DKRAVO_FUZZ=ON
fi
cmake --build "$build" --target program_fuzz -j 2
cat "$here/parse.dict" - > "$build/program.dict" <<'DICT'
"\x0a%%csv\x0a"
"\x0a%%schema\x0a"
"RUN;"
"OPTIONS DEBUG=SYN;"
"\x22fields\x22"
"\x22name\x22"
"\x22type\x22"
"\x22number\x22"
"\x22string\x22"
"\x22title\x22"
"\x22format\x22"
DICT
exec "$build/fuzz/program_fuzz" -max_total_time="$seconds" -max_len=1048576 -timeout=10 \
  -rss_limit_mb=2048 -dict="$build/program.dict" "$@" "$here/corpus-program" "$here/seeds/program"
