#!/usr/bin/env bash
# Prints the link's figures: the mean time of one exchange with an instantly answering
# simulator, natively and under Wine, and the CPU the link takes while connected and idle.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
native=$root/build/native windows=$root/build/windows
exchanges=${EXCHANGES:-250} idle=${IDLE_SECONDS:-10}

echo "== native (POSIX port on a pseudo-terminal)"
out=$(mktemp)
"$native/ombrix-sim" --quiet --users 3 > "$out" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 1 100); do grep -q '^PTY ' "$out" && break; sleep 0.05; done
"$native/link_bench" "$(sed -n 's/^PTY //p' "$out")" "$exchanges" "$idle"
kill $sim; wait $sim 2>/dev/null || true

echo "== Windows program under Wine (COM1 mapped to a pseudo-terminal)"
source "$root/scripts/wine-env.sh"
ensure_wine_prefix
trap stop_simulator EXIT
start_simulator "$native/ombrix-sim" com1 -- --quiet --users 3
wine "$windows/link_bench.exe" COM1 "$exchanges" "$idle"
