#!/usr/bin/env bash
# Takes the user guide's pictures (docs/guide/images/*.png) from the real program under Wine on
# Xvfb, connected to the simulator, so that they show the window as it is. Run it after a change
# of the window and commit the pictures with the change.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
source "$root/scripts/wine-env.sh"
ensure_wine_prefix
wineserver -k 2>/dev/null || true
OMBRIX_NATIVE_BUILD=$root/build/native OMBRIX_WINDOWS_BUILD=$root/build/windows \
  python3 "$root/scripts/guide_screenshots.py"

# The audit report as Chromium shows it: the sample report of the browser test, trimmed.
"$root/tests/report_in_browser.sh" "$root/build/native/report_sample" "$root/build/native/report" >/dev/null
convert "$root/build/native/report/report.png" -trim -bordercolor white -border 16 \
  "$root/docs/guide/images/report.png"
