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
