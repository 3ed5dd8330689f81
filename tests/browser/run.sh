#!/bin/sh
# Renders the HTML report of every example (or of the reports given) in
# headless Chromium and fails on a console message of the page, a drawing
# with an empty bounding box, two texts of a drawing whose boxes overlap, or
# a text outside its drawing. The checks run in the page: check.js is put
# into a copy of the report and its verdict read back from the dumped DOM.
# A screenshot of each report is saved as BUILD/browser/NAME.png.
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

# chromium [OPTION ...] URL: headless, with a profile of its own, so that runs
# side by side do not meet.
chromium() {
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --user-data-dir="$profile" --enable-logging=stderr --v=0 "$@"
}

# The reports: those given, else one per example, with its graphs.
reports=""
if [ $# -gt 0 ]; then
  reports="$*"
else
  for program in "$top"/examples/*.vyn; do
    name=$(basename "$program" .vyn)
    status=0
    "$build/bin/vyn" "$program" --html "$out/$name.html" --listing "$out/$name.lst" \
      --log "$out/$name.log" || status=$?
    if [ "$status" -gt 1 ]; then
      echo "FAIL $program: vyn ended with status $status (see $out/$name.log)"
      exit 1
    fi
    reports="$reports $out/$name.html"
  done
fi

failed=0
for report in $reports; do
  name=$(basename "$report" .html)
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
  problems=$(printf '%s\n' "$verdict" | sed 1d)
  console=$(grep 'CONSOLE' "$out/$name.chromium.log" || true)
  height=$(printf '%s\n' "$verdict" | sed -n '1s/^height=//p')
  if [ -z "$height" ]; then
    problems="no verdict from the page (see $out/$name.chromium.log)"
    height=1024
  fi
  if [ "$height" -gt 16384 ]; then height=16384; fi
  chromium --window-size="1280,$height" --screenshot="$out/$name.png" "file://$(cd "$(dirname "$report")" && pwd)/$(basename "$report")" \
    > /dev/null 2>> "$out/$name.chromium.log" || problems="$problems${problems:+
}no screenshot"
  if [ -n "$problems$console" ]; then
    echo "FAIL $report"
    printf '%s\n' "$problems" "$console" | sed '/^$/d; s/^/  /'
    failed=1
  else
    echo "ok   $report ($out/$name.png)"
  fi
done
exit $failed
