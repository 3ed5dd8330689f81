#!/bin/sh
# Builds the CSV reader fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) outside CMake and runs it for N seconds.
# Usage: fuzz/run.sh [SECONDS] [extra libFuzzer flags...]   (default 60)
# The corpus grows in fuzz/corpus-csv (not committed), seeded from fuzz/seeds/csv.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-60}
[ $# -gt 0 ] && shift
build=$root/build-fuzz
mkdir -p "$build" "$here/corpus-csv"
CXX=${CXX:-clang++}
$CXX -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$here/csv_fuzz.cpp" "$root"/vyn/data/*.cpp -lsqlite3 -o "$build/csv_fuzz"
exec "$build/csv_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -dict="$here/csv.dict" "$@" "$here/corpus-csv" "$here/seeds/csv"
