#!/usr/bin/env bash
# Runs the end-to-end tests (and the other Wine tests) ROUNDS times in a row while LOAD busy
# loops keep the cores busy, as a loaded CI machine would; stops at the first round that fails.
# Run scripts/test.sh (or scripts/build.sh and scripts/package.sh) first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-5}
load=${LOAD:-$(nproc 2>/dev/null || echo 2)}
export OMBRIX_WINE_PREFIX=${OMBRIX_TEST_WINE_PREFIX:-$root/build/wine-tests}
source "$root/scripts/wine-env.sh"
ensure_wine_prefix

busy=()
stop_load() { [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null || true; }
trap stop_load EXIT
for _ in $(seq 1 "$load"); do
  (while :; do :; done) &
  busy+=($!)
done

cd "$root/build/native"
for round in $(seq 1 "$rounds"); do
  start=$(date +%s)
  if ctest -R '^(e2e|windows)\.' --output-on-failure > "$root/build/e2e-under-load-$round.log" 2>&1; then
    echo "round $round of $rounds: passed in $(( $(date +%s) - start )) s ($load busy loops)"
  else
    echo "round $round of $rounds: FAILED, see build/e2e-under-load-$round.log" >&2
    exit 1
  fi
done
