#!/bin/sh
# Renders a few example programs into the documents the stream test compares
# with: run once with the build whose output is taken as the reference.
#   tests/output/stream/make_goldens.sh build/bin/vyn
set -e
vyn=$1
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/../../../examples"
for name in bygroup paired summary; do
  "$vyn" "$name.vyn" --listing "$here/$name.lst" --json "$here/$name.json" \
    --html "$here/$name.html" --log "$here/$name.log" --graphs-dir "graphs-$name" 2>/dev/null || true
  rm -rf "graphs-$name"
done
