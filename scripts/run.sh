#!/usr/bin/env bash
# Opens the program under Wine, connected through COM1 to the simulated instrument on a
# pseudo-terminal. On the caller's display when DISPLAY is set; otherwise under Xvfb, where it
# saves a screenshot and says where. Arguments go to the simulator (see ombrix-sim --help);
# without any it holds a few users, standards and records.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
echo "building…" >&2
"$root/scripts/build.sh" >/dev/null
source "$root/scripts/wine-env.sh"

sim_args=("$@")
[ ${#sim_args[@]} -gt 0 ] || sim_args=(--users 5 --standards 3 --records 12)
headless=
[ -n "${DISPLAY:-}" ] || headless=1
cleanup() {
  stop_simulator
  if [ -n "$headless" ]; then
    wineserver -k 2>/dev/null || true
    stop_display
  fi
}
trap cleanup EXIT
SIM_LOG=${SIM_LOG:-$root/build/sim.log} start_simulator "$root/build/native/ombrix-sim" com1 -- \
  "${sim_args[@]}"
ensure_display
# Wine's desktop lives on the display that its server started with.
if [ -n "$headless" ]; then wineserver -k 2>/dev/null || true; fi
ensure_wine_prefix

exe=$root/build/windows/Ombrix_Tessaly.exe
if [ -z "$headless" ]; then
  echo "Ombrix_Tessaly on $DISPLAY; the simulator answers on COM1 (frames: build/sim.log)."
  run_wine "$exe"
  exit 0
fi
run_wine "$exe" >/dev/null 2>&1 &
mkdir -p "$root/build/screenshots"
shot=$root/build/screenshots/main-window.png
sleep "${OMBRIX_SETTLE:-8}"
import -window root "$shot"
echo "No display: the program ran under Xvfb. Screenshot: $shot"
