#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix, in the Korean locale: wine-run.sh EXE [ARGS]
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
ensure_wine_prefix
run_wine "$@"
