#!/usr/bin/env bash
# Prints the speed figures in one run, against a simulator that answers at once:
#   - the link alone: the mean time of one exchange natively and under Wine, and the CPU the
#     link takes while connected and idle;
#   - the real program under Wine: 250 users read (time per exchange from the click to the
#     completion box, and its ratio to the link alone), a long log read (time, time per record,
#     memory) and the CSV export of that log;
#   - the audit report over a year of REPORT_MEASUREMENTS made-up measurements (default a
#     million): its time and size, and the chart over all of them as single rows;
#   - the measurement archive, natively and under Wine, over a year of ARCHIVE_MEASUREMENTS
#     made-up measurements (default a million): the import of their record CSV, the bytes a
#     record takes, the archiving of a 65535-record read, the history window's queries on
#     opening and on a filter change with the memory they hold, ombrix history of a month and
#     ombrix report of the whole year;
#     the real program's archiving of its long read is timed with the read;
#   - the history window of the real program under Wine, on HISTORY_MEASUREMENTS made-up
#     measurements (default a million) of the year up to today: from the command to its first
#     rows and chart, filter changes, and the program's memory;
#   - the site archive against a PostgreSQL and a MariaDB server of its own
#     (bench/site_bench.sh): one PC pushing 65535 new rows, natively and under Wine, ten PCs
#     pushing 65535 each at once, and a batch the server refuses whole.
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

echo "== the measurement archive, natively (${ARCHIVE_MEASUREMENTS:-1000000} made-up measurements of a year)"
archive_dir=$root/build/archive-bench
"$native/archive_bench" import "${ARCHIVE_MEASUREMENTS:-1000000}" "$archive_dir" | with_commit "$native"
"$native/archive_bench" history "$archive_dir" | with_commit "$native"
# ombrix history of the archive's last month, timed: month_history CSV_FILE CSV_ARGUMENT OMBRIX...
month_history() {
  local file=$1 argument=$2 start end
  shift 2
  start=$(date +%s.%N)
  "$@" history --from 2025-12-01 --to 2025-12-31 --csv "$argument" 2>/dev/null
  end=$(date +%s.%N)
  echo "ombrix history of one month: $(($(wc -l < "$file") - 1)) rows in" \
    "$(awk "BEGIN { printf \"%.2f\", $end - $start }") s (budget 1 s)"
}
# ombrix report of the whole archive, timed: year_report HTML_FILE HTML_ARGUMENT OMBRIX...
year_report() {
  local file=$1 argument=$2 start end
  shift 2
  start=$(date +%s.%N)
  "$@" report --html "$argument" 2>/dev/null
  end=$(date +%s.%N)
  echo "ombrix report of the whole year: $(wc -c < "$file") bytes in" \
    "$(awk "BEGIN { printf \"%.2f\", $end - $start }") s (budget 3 s, 2 MB)"
}
month_history "$archive_dir/month.csv" "$archive_dir/month.csv" \
  "$native/cli/ombrix" --archive "$archive_dir/archive.sqlite3" | with_commit "$native"
year_report "$archive_dir/year.html" "$archive_dir/year.html" \
  "$native/cli/ombrix" --archive "$archive_dir/archive.sqlite3" | with_commit "$native"

echo "== the site archive (a PostgreSQL and a MariaDB server of its own, through ODBC)"
"$root/bench/site_bench.sh" "$native/cli/ombrix" "$windows/cli/ombrix.exe" | with_commit "$native"

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

echo "== the measurement archive under Wine"
wine_archive_dir=$root/build/archive-bench-wine
wine "$windows/archive_bench.exe" import "${ARCHIVE_MEASUREMENTS:-1000000}" \
  "$(winepath -w "$wine_archive_dir")" 2>/dev/null | with_commit "$windows"
wine "$windows/archive_bench.exe" history "$(winepath -w "$wine_archive_dir")" 2>/dev/null |
  with_commit "$windows"
month_history "$wine_archive_dir/month.csv" "$(winepath -w "$wine_archive_dir/month.csv")" \
  wine "$windows/cli/ombrix.exe" --archive "$(winepath -w "$wine_archive_dir/archive.sqlite3")" |
  with_commit "$windows"
year_report "$wine_archive_dir/year.html" "$(winepath -w "$wine_archive_dir/year.html")" \
  wine "$windows/cli/ombrix.exe" --archive "$(winepath -w "$wine_archive_dir/archive.sqlite3")" |
  with_commit "$windows"
# The program's bench starts a wineserver of its own: this one ends first.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

echo "== the program under Wine"
python3 "$root/bench/window_bench.py" "$records" "$link_ms"
if [ -n "${BASELINE:-}" ]; then
  echo "== the program of $BASELINE under Wine"
  OMBRIX_WINDOWS_BUILD=$BASELINE python3 "$root/bench/window_bench.py" "$records" "$link_ms"
fi

echo "== the history window under Wine (${HISTORY_MEASUREMENTS:-1000000} made-up measurements of the year up to today)"
python3 "$root/bench/history_window_bench.py" "${HISTORY_MEASUREMENTS:-1000000}"
