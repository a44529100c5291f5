#!/usr/bin/env bash
# Prints the speed figures in one run, against a simulator that answers at once:
#   - the link alone: the mean time of one exchange natively and under Wine, and the CPU the
#     link takes while connected and idle;
#   - the real program under Wine: 250 users read (time per exchange from the click to the
#     completion box, and its ratio to the link alone), a long log read (time, time per record,
#     memory) and the CSV export of that log;
#   - the audit report over a year of REPORT_MEASUREMENTS made-up measurements (default a
#     million): its time and size, and the chart over all of them as single rows.
# Every figure of the program is the median of RUNS runs (default 5) with their spread, and every
# line names the commit its build was made from.
# RECORDS sets the log's length (default 10000; 65535 is the longest); BASELINE names another
# Windows build directory whose program is timed the same way, for a before-and-after.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
native=$root/build/native windows=$root/build/windows
exchanges=${EXCHANGES:-250} idle=${IDLE_SECONDS:-10} records=${RECORDS:-10000}

source "$root/scripts/wine-env.sh"
out=$(mktemp)
sim=
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null
  stop_simulator
  rm -f "$out"
}
trap cleanup EXIT
# Each line of a figure, with the commit of the build that made it.
with_commit() { sed "s/\$/ [commit $(cat "$1/commit.txt" 2>/dev/null || echo unknown)]/"; }

echo "== the audit report (natively)"
"$native/report_bench" "${REPORT_MEASUREMENTS:-1000000}" | with_commit "$native"

echo "== the link alone, natively (POSIX port on a pseudo-terminal)"
"$native/ombrix-sim" --quiet --users 3 > "$out" &
sim=$!
for _ in $(seq 1 100); do grep -q '^PTY ' "$out" && break; sleep 0.05; done
pty=$(sed -n 's/^PTY //p' "$out")
[ -n "$pty" ] || { echo "the simulator did not start" >&2; exit 1; }
"$native/link_bench" "$pty" "$exchanges" "$idle" | with_commit "$native"
kill "$sim" 2>/dev/null || true  # it may have ended already
wait "$sim" 2>/dev/null || true
sim=

echo "== the link alone, under Wine (COM1 mapped to a pseudo-terminal)"
ensure_wine_prefix
start_simulator "$native/ombrix-sim" com1 -- --quiet --users 3
wine "$windows/link_bench.exe" COM1 "$exchanges" "$idle" 2>/dev/null | with_commit "$windows" | tee "$out"
stop_simulator
link_ms=$(sed -n 's/.*mean \([0-9.]*\) ms.*/\1/p' "$out")

echo "== the program under Wine"
python3 "$root/bench/window_bench.py" "$records" "$link_ms"
if [ -n "${BASELINE:-}" ]; then
  echo "== the program of $BASELINE under Wine"
  OMBRIX_WINDOWS_BUILD=$BASELINE python3 "$root/bench/window_bench.py" "$records" "$link_ms"
fi
