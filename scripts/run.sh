#!/usr/bin/env bash
# The program's main job, as far as it is built: the simulator plays the instrument on a
# virtual serial line (a pseudo-terminal mapped as COM1) while the Windows link, under Wine,
# exchanges frames with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
source "$root/scripts/wine-env.sh"
ensure_wine_prefix
trap stop_simulator EXIT
export SIM_LOG=/dev/stderr
start_simulator "$root/build/native/ombrix-sim" com1 -- --users 3 --standards 2
wine "$root/build/windows/link_bench.exe" COM1 20 1
