#!/usr/bin/env bash
# Runs the Windows link check under Wine against the simulator: wine-link-check.sh EXE SIM
set -euo pipefail
exe=$1 sim=$2
source "$(dirname "$0")/wine-env.sh"
ensure_wine_prefix
trap stop_simulator EXIT
start_simulator "$sim" com1 com10 -- --quiet --users 3 --standards 2 --stray 3 --chunks 10,20 \
  --silent 4 --late 6 --late-ms 1200
wine "$exe"
stop_simulator

# The dead line: the simulator hangs up at the third request and ends; then a device comes back
# on COM1 while the check waits for it.
start_simulator "$sim" com1 -- --quiet --users 3 --half 1 --hang-up 3
wine "$exe" dead-line &
check=$!
wait "$SIM_PID" || true
SIM_PID=
start_simulator "$sim" com1 -- --quiet --users 3
wait "$check"
