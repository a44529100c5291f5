#!/usr/bin/env bash
# The audit report in a real browser: headless Chromium takes a screenshot of a sample report and
# prints it to PDF. Checks what is cheap to check (the picture is no blank page, the PDF has pages
# and its text has the report's headings in Hangul) and leaves the files for a person to look at:
# OUT_DIR/report.png, report.pdf and report-page1.png.
#
#   report_in_browser.sh REPORT_SAMPLE OUT_DIR
set -euo pipefail
sample=$1 out=$2
rm -rf "$out"
mkdir -p "$out"
"$sample" "$out/report.html"

# A new, empty profile each run and nothing that reaches out: the page needs no network.
chromium_run() {
  local profile
  profile=$(mktemp -d "$out/profile.XXXXXX")
  timeout 240 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" "$@" 2>>"$out/chromium.log"
  rm -rf "$profile"
}
fail() { echo "report_in_browser: $*" >&2; exit 1; }

chromium_run --hide-scrollbars --window-size=1000,1800 --screenshot="$out/report.png" \
  "file://$out/report.html"
chromium_run --no-pdf-header-footer --print-to-pdf="$out/report.pdf" "file://$out/report.html"

[ -s "$out/report.png" ] || fail "no screenshot"
colours=$(identify -format '%k' "$out/report.png")
[ "$colours" -gt 100 ] || fail "the screenshot looks blank ($colours colours)"
[ "$(head -c 4 "$out/report.pdf")" = "%PDF" ] || fail "no PDF"
pages=$(pdfinfo "$out/report.pdf" | sed -n 's/^Pages: *//p')
[ "${pages:-0}" -ge 1 ] || fail "the PDF has no pages"
text=$(pdftotext -layout "$out/report.pdf" -)
for heading in "측정 이력 보고서" "측정기준별 결과" "측정값 추이" "오염 결과"; do
  grep -qF "$heading" <<<"$text" || fail "the printed report lacks \"$heading\""
done
grep -qE "^ *1 ?/ ?$pages *$" <<<"$text" || fail "the printed pages are not numbered"
pdftoppm -r 60 -png -f 1 -l 1 "$out/report.pdf" "$out/report-page"
mv "$out"/report-page-*1.png "$out/report-page1.png"
echo "report_in_browser: $out/report.png ($colours colours), $out/report.pdf ($pages pages)"
