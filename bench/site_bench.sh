#!/usr/bin/env bash
# The site archive's figures against a server of the bench's own, PostgreSQL and MariaDB
# (tests/site/pg_server.sh, maria_server.sh; SITE_ENGINES chooses), printed, never asserted:
#   - one PC pushing 65535 new rows (natively, and ombrix.exe under Wine when given, on
#     PostgreSQL);
#   - ten PCs, each with its own archive of 65535 rows, running ombrix sync at once: every row
#     stored once, and the time until the last one ends;
#   - a sync whose 2000 rows the server refuses one by one (a CHECK that takes none of them):
#     the batch halved down to every row before it is found to be the table's fault.
#   site_bench.sh NATIVE_OMBRIX [OMBRIX_EXE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ombrix=$1 exe=${2:-}
rows=${SITE_ROWS:-65535} pcs=${SITE_PCS:-10}
work=$(mktemp -d)
state=$work/server.env
server=""
trap '[ -z "$server" ] || "$server" stop "$state" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
seconds() { awk "BEGIN { printf \"%.2f\", $2 - $1 }"; }

# Each PC's archive: its own user, one measurement a minute.
for pc in $(seq 1 "$pcs"); do
  python3 - "$work/pc$pc.csv" "$rows" "$pc" <<'PY'
import sys, datetime
path, rows, pc = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
start = datetime.datetime(2026, 1, 1)
with open(path, "w", encoding="utf-8-sig") as f:
    f.write("No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n")
    for i in range(rows):
        t = start + datetime.timedelta(minutes=i)
        text = t.strftime("%Y-%m-%d %I:%M:%S ") + ("오전" if t.hour < 12 else "오후")
        value = (i * 37) % 300
        verdict = "안전" if value < 100 else "주의" if value < 200 else "오염"
        f.write(f"{i + 1},{text},검사원{pc},{pc},{1000 + pc},세균,100,200,{value},{verdict}\n")
PY
  "$ombrix" --archive "$work/pc$pc.sqlite3" import "$work/pc$pc.csv" 2>/dev/null
done
fresh() {  # the site's table gone, every row of the archives waiting again
  sql "DROP TABLE IF EXISTS ombrix_measurements" >/dev/null 2>&1
  for pc in $(seq 1 "$pcs"); do sqlite3 "$work/pc$pc.sqlite3" "UPDATE readings SET pushed = 0"; done
}

for engine in ${SITE_ENGINES:-postgresql mariadb}; do
  case $engine in
    postgresql) server=$root/tests/site/pg_server.sh ;;
    mariadb) server=$root/tests/site/maria_server.sh ;;
    *) echo "site_bench.sh: no engine $engine" >&2; exit 2 ;;
  esac
  "$server" start "$state" >/dev/null
  site=$(sed -n 's/^OMBRIX_TEST_SITE=//p' "$state")
  # The connection string in a file only its owner reads: never on a command line.
  (umask 077; printf '%s\n' "$site" > "$work/site.conn")
  data=$(sed -n 's/^OMBRIX_TEST_SITE_DATA=//p' "$state")
  port=$(sed -n 's/^OMBRIX_TEST_SITE_PORT=//p' "$state")
  if [ "$engine" = postgresql ]; then
    sql() { psql -h "$data" -p "$port" -U ombrix -d ombrix_site -At -c "$1"; }
  else
    sql() { mariadb --no-defaults --socket="$data/socket" -u "$(id -un)" ombrix_site -N -e "$1"; }
  fi

  fresh
  start=$(date +%s.%N)
  "$ombrix" --archive "$work/pc1.sqlite3" --site-file "$work/site.conn" sync >/dev/null
  end=$(date +%s.%N)
  echo "$engine: one PC pushing $rows new rows natively: $(seconds "$start" "$end") s (budget 5 s)"

  if [ -n "$exe" ] && [ "$engine" = postgresql ]; then
    source "$root/scripts/wine-env.sh"
    ensure_wine_prefix
    fresh
    run_wine "$exe" --version >/dev/null 2>&1  # Wine's own start, not the push's
    start=$(date +%s.%N)
    run_wine "$exe" --archive "$(winepath -w "$work/pc1.sqlite3")" \
      --site-file "$(winepath -w "$work/site.conn")" sync >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$engine: one PC pushing $rows new rows, ombrix.exe under Wine: $(seconds "$start" "$end") s" \
      "($(sql "SELECT COUNT(*) FROM ombrix_measurements") rows on the site)"
  fi

  fresh
  start=$(date +%s.%N)
  pids=()
  for pc in $(seq 1 "$pcs"); do
    "$ombrix" --archive "$work/pc$pc.sqlite3" --site-file "$work/site.conn" sync >"$work/pc$pc.out" 2>&1 &
    pids+=($!)
  done
  failed=0
  for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
  end=$(date +%s.%N)
  counts=$(sql "SELECT CONCAT(COUNT(*), ' rows, ', COUNT(DISTINCT identity_hash), ' distinct') FROM ombrix_measurements")
  echo "$engine: $pcs PCs running ombrix sync at once, $rows rows each: $(seconds "$start" "$end") s" \
    "in all (budget 60 s); $counts of $((pcs * rows)); $failed failed"

  fresh
  "$ombrix" --archive "$work/empty.sqlite3" --site-file "$work/site.conn" sync >/dev/null  # the table made
  sql "ALTER TABLE ombrix_measurements ADD CONSTRAINT none_taken CHECK (value < 0)" >/dev/null
  start=$(date +%s.%N)
  status=0
  "$ombrix" --archive "$work/pc1.sqlite3" --site-file "$work/site.conn" sync >/dev/null 2>&1 || status=$?
  end=$(date +%s.%N)
  echo "$engine: a sync whose first 2000 rows are each refused (the table's fault, exit $status):" \
    "$(seconds "$start" "$end") s"

  "$server" stop "$state" >/dev/null
  server=""
done
