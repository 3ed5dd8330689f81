#!/bin/sh
# Builds the statement parser fuzz target with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) outside CMake and runs it for
# N seconds. The grammar tables and the message catalogue are generated
# first, as the build does.
# Usage: fuzz/run_parse.sh [SECONDS] [extra libFuzzer flags...]   (default 60)
# The corpus grows in fuzz/corpus-parse (not committed), seeded from
# fuzz/seeds/parse.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-60}
[ $# -gt 0 ] && shift
build=$root/build-fuzz-parse
mkdir -p "$build" "$here/corpus-parse"
CXX=${CXX:-clang++}
$CXX -std=c++20 -O1 -I"$root" "$root/tools/lalrgen.cpp" "$root/tools/lalr.cpp" -o "$build/lalrgen"
"$build/lalrgen" "$root/src/kravo.grammar" "$build/krvtbl.cpp" krv_pc
catalogs=$(ls "$root"/vyn/catalog/*.msg | sort | tr '\n' '|')
cmake "-DCATALOG_FILES=$catalogs" "-DOUTPUT=$build/vyn_catalog.cpp" \
  -P "$root/cmake/embed_catalog.cmake"
$CXX -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$here/parse_fuzz.cpp" "$build/krvtbl.cpp" "$build/vyn_catalog.cpp" \
  "$root"/vyn/parse/engine.cpp "$root"/vyn/parse/scanner.cpp "$root"/vyn/parse/semantic.cpp \
  "$root"/vyn/parse/varlist.cpp "$root"/vyn/parse/stepparse.cpp "$root"/vyn/data/where.cpp \
  "$root"/vyn/core/hostmsg.cpp "$root"/vyn/core/catalog.cpp "$root"/vyn/core/log.cpp \
  -o "$build/parse_fuzz"
exec "$build/parse_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -rss_limit_mb=2048 -dict="$here/parse.dict" "$@" "$here/corpus-parse" "$here/seeds/parse"
