#!/bin/sh
# Renders the HTML report of every example (or the reports given) in
# headless Chromium and fails on a console message of the page, a drawing
# with an empty bounding box, two texts of a drawing whose boxes overlap, or
# a text outside its drawing. The checks run in the page: check.js is put
# into a copy of the report and its verdict read back from the dumped DOM.
# A screenshot of each report is saved as BUILD/browser/NAME.png. First the
# checker must find every fault of faulty.html.
#
#     tests/browser/run.sh BUILD [REPORT.html ...]
set -eu
build=$(cd "${1:-build}" && pwd)
shift || true
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
out=$build/browser
mkdir -p "$out"
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "chromium is not installed (make test-browser installs it as root)" >&2
  exit 1
fi
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT

# chromium [OPTION ...] URL: headless, with a profile of its own, so that
# runs side by side do not meet.
chromium() {
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --user-data-dir="$profile" --enable-logging=stderr --v=0 "$@"
}

# check REPORT: prints the problems of the report, one per line, and saves
# its screenshot.
check() {
  name=$(basename "$1" .html)
  report=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  checked=$out/$name.checked.html
  awk -v js="$here/check.js" '
    { print }
    /<head>/ && !done {
      print "<script>"; while ((getline line < js) > 0) print line; print "</script>"; done = 1
    }' "$report" > "$checked"
  chromium --window-size=1280,1024 --dump-dom "file://$checked" > "$out/$name.dom" \
    2> "$out/$name.chromium.log" || true
  verdict=$(awk '/<pre id="vyn-verdict">/ { on = 1; sub(/.*<pre id="vyn-verdict">/, "") }
                 on { if (sub(/<\/pre>.*/, "")) { print; exit } print }' "$out/$name.dom" |
            sed 's/&lt;/</g; s/&gt;/>/g; s/&amp;/\&/g')
  height=$(printf '%s\n' "$verdict" | sed -n '1s/^height=//p')
  if [ -z "$height" ]; then
    echo "no verdict from the page (see $out/$name.chromium.log)"
    height=1024
  fi
  printf '%s\n' "$verdict" | sed '1d'
  grep 'CONSOLE' "$out/$name.chromium.log" || true
  if [ "$height" -gt 16384 ]; then height=16384; fi
  chromium --window-size="1280,$height" --screenshot="$out/$name.png" "file://$report" \
    > /dev/null 2>> "$out/$name.chromium.log" || echo "no screenshot"
}

failed=0
found=$(check "$here/faulty.html")
for fault in "is outside its drawing" "overlap" "empty bounding box" "CONSOLE"; do
  case "$found" in
    *"$fault"*) ;;
    *) echo "FAIL the checker does not report \"$fault\" in $here/faulty.html"; failed=1 ;;
  esac
done

if [ $# -eq 0 ]; then
  for program in "$top"/examples/*.vyn; do
    name=$(basename "$program" .vyn)
    status=0
    "$build/bin/vyn" "$program" --html "$out/$name.html" --listing "$out/$name.lst" \
      --log "$out/$name.log" || status=$?
    if [ "$status" -gt 1 ]; then
      echo "FAIL $program: vyn ended with status $status (see $out/$name.log)"
      failed=1
    fi
    set -- "$@" "$out/$name.html"
  done
fi

for report in "$@"; do
  problems=$(check "$report")
  if [ -n "$problems" ]; then
    echo "FAIL $report"
    printf '%s\n' "$problems" | sed 's/^/  /'
    failed=1
  else
    echo "ok   $report"
  fi
done
exit $failed
