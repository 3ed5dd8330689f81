#!/bin/sh
# Runs every benchmark of bench/: each folder's run.sh prints its own ratios.
set -eu
build=${1:-build}
here=$(dirname "$0")
for script in "$here"/*/run.sh; do
  [ -x "$script" ] || continue
  echo "== $(basename "$(dirname "$script")")"
  "$script" "$build"
done
