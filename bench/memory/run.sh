#!/bin/sh
# Peak memory of one BY step with few and with many BY groups, in one run:
# the same program over 10, 10,000 and 100,000 groups (5 rows each), writing
# the listing, HTML report, JSON and log without graphs, printed with the
# ratio of each peak to the one of 10 groups (about 1 when memory stays flat,
# near the ratio of the groups when every group is kept).
# Usage: bench/memory/run.sh [BUILD_DIR] [GROUPS...]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
sizes=${*:-10000 100000}
case $build in /*) ;; *) build=$root/$build ;; esac
[ -x /usr/bin/time ] || { echo "bench/memory: /usr/bin/time (Debian package time) is needed" >&2; exit 1; }
cmake --build "$build" --target vyn -j "$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

peak() {  # groups, options: prints the peak resident size in kB
  awk -v n="$1" 'BEGIN { print "g,x,y"; srand(1);
    for (g = 0; g < n; g++) for (k = 0; k < 5; k++) printf "%d,%.4f,%.4f\n", g, rand(), rand() }' \
    >"$work/by$1.csv"
  echo "proc kravo data=by$1 $2; by g; var x y; run;" >"$work/by$1.vyn"
  /usr/bin/time -f %M -o "$work/peak" "$build/bin/vyn" "$work/by$1.vyn" --no-graphics \
    --listing "$work/out.lst" --html "$work/out.html" --json "$work/out.json" \
    --log "$work/out.log" --quiet
  cat "$work/peak"
}

for mode in "" nobyvar; do
  small=$(peak 10 "$mode")
  printf '%-8s peak kB: 10 groups %s' "${mode:-byvar}" "$small"
  for groups in $sizes; do
    large=$(peak "$groups" "$mode")
    printf ', %s groups %s (ratio %s)' "$groups" "$large" \
      "$(awk -v a="$large" -v b="$small" 'BEGIN { printf "%.2f", a / b }')"
  done
  printf ' (log %s lines)\n' "$(wc -l <"$work/out.log")"
done
