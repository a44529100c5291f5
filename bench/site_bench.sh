#!/usr/bin/env bash
# The site archive's figures against a server of the bench's own, PostgreSQL and MariaDB
# (tests/site/pg_server.sh, maria_server.sh; SITE_ENGINES chooses), printed, never asserted:
#   - one PC pushing 65535 new rows (natively, and ombrix.exe under Wine when given, on
#     PostgreSQL);
#   - ten PCs, each with its own archive of 65535 rows, running ombrix sync at once: every row
#     stored once, and the time until the last one ends;
#   - a sync whose 2000 rows the server refuses one by one (a CHECK that takes none of them):
#     the batch halved down to every row before it is found to be the table's fault;
#   - a site of SITE_SCALE_ROWS rows (default 2,000,000) from 50 PCs over 2025 and 2026, filled
#     by SQL: what the history window's "사이트 전체" needs before it shows 30 days and a year
#     (bench/site_view_bench: the rows copied into memory, before, or the window's model counting
#     on the server and reading the pages it shows, after; then its jumps to the middle and the
#     last row), `ombrix --site report` of 2026 and `ombrix --site history --csv` of
#     December 2026: time, size and peak memory, of SITE_BEFORE_OMBRIX (another build of
#     ombrix, when given, with SITE_BEFORE_VIEW_BENCH its site_view_bench) on the table as it
#     makes it, and of NATIVE_OMBRIX on the table as it makes it, in one run; with actions on a
#     tenth of its 주의 and 오염 rows, which the report counts and shows. MariaDB's InnoDB
#     gets a buffer pool of SITE_MARIA_BUFFER_POOL_MIB (default 2048), as IT sizes it for such a
#     table: its default of 128 MiB reads a larger table from the disk at every count.
#   SITE_PARTS chooses "push", "scale" or both (the default).
#   site_bench.sh NATIVE_OMBRIX [OMBRIX_EXE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ombrix=$1 exe=${2:-}
rows=${SITE_ROWS:-65535} pcs=${SITE_PCS:-10} parts=${SITE_PARTS:-push scale}
scale_rows=${SITE_SCALE_ROWS:-2000000} before=${SITE_BEFORE_OMBRIX:-}
view_bench=$(dirname "$ombrix")/../site_view_bench
work=$(mktemp -d)
state=$work/server.env
server=""
trap '[ -z "$server" ] || "$server" stop "$state" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
seconds() { awk "BEGIN { printf \"%.2f\", $2 - $1 }"; }

# Each PC's archive: its own user, one measurement a minute; none for the scale alone.
[[ " $parts " == *" push "* ]] || pcs=0
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
  sql "DROP TABLE IF EXISTS ombrix_actions" >/dev/null 2>&1
  sql "DROP TABLE IF EXISTS ombrix_hourly_counts" >/dev/null 2>&1
  for pc in $(seq 1 "$pcs"); do sqlite3 "$work/pc$pc.sqlite3" "UPDATE readings SET pushed = 0"; done
}

# One PC pushing, ten at once, and a batch refused whole.
push_figures() {
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

}

# The table's secondary indexes as "NAME|CREATE INDEX ..." lines, as the program that made the
# table defined them (the primary key and the identity's unique constraint left out).
secondary_indexes() {
  if [ "$engine" = postgresql ]; then
    sql "SELECT c.relname || '|' || pg_get_indexdef(i.indexrelid) FROM pg_index i
      JOIN pg_class c ON c.oid = i.indexrelid
      WHERE i.indrelid = 'ombrix_measurements'::regclass AND NOT i.indisunique ORDER BY c.relname"
  else
    sql "SELECT CONCAT(index_name, '|CREATE INDEX ', index_name, ' ON ombrix_measurements (',
        GROUP_CONCAT(column_name ORDER BY seq_in_index SEPARATOR ', '), ')')
      FROM information_schema.statistics WHERE table_schema = DATABASE()
        AND table_name = 'ombrix_measurements' AND non_unique = 1 GROUP BY index_name"
  fi
}

# The indexes of the lines on standard input made (on a full table: PostgreSQL given the memory
# to sort in), or dropped with "drop".
indexes() {
  local name definition
  while IFS='|' read -r name definition; do
    if [ "${1:-}" = drop ]; then
      if [ "$engine" = postgresql ]; then sql "DROP INDEX $name"; else sql "DROP INDEX $name ON ombrix_measurements"; fi
    elif [ "$engine" = postgresql ]; then
      sql "SET maintenance_work_mem = '512MB'; $definition"
    else
      sql "$definition"
    fi >/dev/null
  done
}

# The site's table filled by SQL with `scale_rows` rows of 50 PCs, evenly over 2025 and 2026: as
# the program made it, but its secondary indexes made after the rows rather than row by row.
fill_site() {
  local n=$1 verdict="CASE WHEN v < 100 THEN '안전' WHEN v < 200 THEN '주의' ELSE '오염' END"
  local columns="measured_at, user_no, user_name, id1, id2, standard_no, standard_name,
    safety_index, danger_index, value, verdict, source, archived_at, pc, windows_user, identity_hash"
  secondary_indexes | indexes drop
  if [ "$engine" = postgresql ]; then
    sql "INSERT INTO ombrix_measurements ($columns)
      SELECT t, 1 + i % 50, '검사원' || (i % 50), i, 1000 + i % 50, 1 + i % 3,
        (ARRAY['세균', '곰팡이', '바이러스'])[1 + i % 3], 100, 200, v, $verdict, 'COM3', t,
        'PC' || (i % 50), 'user', lpad(to_hex(i), 64, '0')
      FROM (SELECT i, timestamp '2025-01-01' + (i * 63072000 / $n) * interval '1 second' AS t,
              (i * 37) % 300 AS v FROM generate_series(0::bigint, $n - 1) i) s" >/dev/null
    # What autovacuum does to a table that grew over two years: its pages marked all visible,
    # so that an index alone may answer.
    sql "VACUUM ANALYZE ombrix_measurements" >/dev/null
  else
    sql "INSERT INTO ombrix_measurements ($columns)
      SELECT t, 1 + i % 50, CONCAT('검사원', i % 50), i, 1000 + i % 50, 1 + i % 3,
        ELT(1 + i % 3, '세균', '곰팡이', '바이러스'), 100, 200, v, $verdict, 'COM3', t,
        CONCAT('PC', i % 50), 'user', LPAD(HEX(i), 64, '0')
      FROM (SELECT seq AS i, TIMESTAMPADD(SECOND, seq * 63072000 DIV $n, '2025-01-01') AS t,
              (seq * 37) % 300 AS v FROM seq_0_to_$((n - 1))) s" >/dev/null
  fi
}

# Actions on every tenth 주의 or 오염 row of the filled site, by SQL, in the table the program
# made when it pushed its first action (a 2024 measurement of an archive of its own and its note).
fill_actions() {
  printf '%s\n' "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과" \
    "1,2024-12-31 09:00:00 오전,검사원,1,1000,세균,100,200,250,오염" >"$work/one.csv"
  rm -f "$work/one.sqlite3"  # marked pushed by the engine before: an archive anew for this one
  "$ombrix" --archive "$work/one.sqlite3" import "$work/one.csv" 2>/dev/null
  "$ombrix" --archive "$work/one.sqlite3" note --at "2024-12-31 09:00:00" --standard 세균 \
    "재세척" 2>/dev/null
  "$ombrix" --archive "$work/one.sqlite3" --site-file "$work/site.conn" sync >/dev/null
  local later="measured_at + interval '1 hour'"
  [ "$engine" = postgresql ] || later="TIMESTAMPADD(HOUR, 1, measured_at)"
  sql "INSERT INTO ombrix_actions (identity_hash, action_text, action_by, action_at, pc)
    SELECT identity_hash, '재세척 후 재측정', 'user', $later, pc FROM ombrix_measurements
    WHERE verdict <> '안전' AND id % 10 = 0" >/dev/null
}

# The hourly counts of the filled rows, built anew by docs/archive.md's SQL for the engine, as IT
# builds them for a table an earlier program made (the fill bypasses the pushes that keep them).
hourly_counts() {
  local heading=PostgreSQL
  [ "$engine" = postgresql ] || heading=MariaDB
  sql "DROP TABLE IF EXISTS ombrix_hourly_counts" >/dev/null
  sql "$(awk -v open="-- $heading: ombrix_hourly_counts from the rows" '
    $0 == open { inside = 1; next } inside && /^```/ { exit } inside' "$root/docs/archive.md")" >/dev/null
}

# Runs a command under /usr/bin/time; prints "S s, peak M MiB".
timed() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/timed.out" 2>"$work/timed.err" ||
    { echo "FAILED after $(tail -1 "$work/time" | cut -d' ' -f1) s: $(head -c 300 "$work/timed.err")"; return 0; }
  awk '{ printf "%.2f s, peak %.0f MiB", $1, $2 / 1024 }' "$work/time"
}

# "사이트 전체" of 30 days and of the year by `view_bench MODE`, then the report and the CSV of
# PROGRAM (none: the views only), as NAME.
program_figures() {
  local name=$1 view=$2 mode=$3 program=$4 figures
  for period in "2026-12-02 2026-12-31 30 days" "2026-01-01 2026-12-31 a year"; do
    set -- $period
    figures=$(timed "$view" "$mode" "$work/site.conn" "$1" "$2")
    echo "$engine: \"사이트 전체\" of ${*:3} ($name): $(cat "$work/timed.out"); process $figures"
  done
  [ -n "$program" ] || return 0
  rm -f "$work/$name.html" "$work/$name.csv"
  figures=$(timed "$program" --site-file "$work/site.conn" report --from 2026-01-01 --to 2026-12-31 \
    --html "$work/$name.html")
  echo "$engine: ombrix --site report of 2026 ($name): $figures," \
    "$(stat -c %s "$work/$name.html" 2>/dev/null || echo 0) bytes"
  figures=$(timed "$program" --site-file "$work/site.conn" history --from 2026-12-01 \
    --to 2026-12-31 --csv "$work/$name.csv")
  echo "$engine: ombrix --site history --csv of December 2026 ($name):" \
    "$(($(wc -l <"$work/$name.csv") - 1)) rows, $figures"
}

# Before and after on one site: before's figures with the indexes of the table before's program
# makes, after's once the indexes after's program adds are made too.
scale_figures() {
  local made='s/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}//g'
  local before_view=${SITE_BEFORE_VIEW_BENCH:-}
  fresh
  : >"$work/before.indexes"
  if [ -n "$before" ]; then
    "$before" --archive "$work/empty.sqlite3" --site-file "$work/site.conn" sync >/dev/null
    secondary_indexes >"$work/before.indexes"
    fresh
  fi
  "$ombrix" --archive "$work/empty.sqlite3" --site-file "$work/site.conn" sync >/dev/null
  secondary_indexes >"$work/after.indexes"
  [ -n "$before" ] || cp "$work/after.indexes" "$work/before.indexes"
  start=$(date +%s.%N)
  fill_site "$scale_rows"
  indexes <"$work/before.indexes"
  [ "$engine" = postgresql ] || sql "ANALYZE TABLE ombrix_measurements" >/dev/null
  end=$(date +%s.%N)
  echo "$engine: a site of $scale_rows rows from 50 PCs over two years, filled by SQL and indexed" \
    "in $(seconds "$start" "$end") s"
  fill_actions
  echo "$engine: $(sql "SELECT COUNT(*) FROM ombrix_actions") actions on every tenth 주의 or" \
    "오염 row"
  # Before: main's view of the site when given, else the copy into memory the window made.
  if [ -n "$before_view" ]; then
    program_figures before "$before_view" count "$before"
  else
    program_figures before "$view_bench" copy "$before"
  fi
  start=$(date +%s.%N)
  { grep -vxFf "$work/before.indexes" "$work/after.indexes" || true; } | indexes
  [ "$engine" = postgresql ] || sql "ANALYZE TABLE ombrix_measurements" >/dev/null
  end=$(date +%s.%N)
  echo "$engine: after's indexes beyond before's: $(grep -cvxFf "$work/before.indexes" \
    "$work/after.indexes" || true) made in $(seconds "$start" "$end") s"
  start=$(date +%s.%N)
  hourly_counts
  end=$(date +%s.%N)
  echo "$engine: the hourly counts built from the rows as docs/archive.md gives it:" \
    "$(sql "SELECT COUNT(*) FROM ombrix_hourly_counts") rows in $(seconds "$start" "$end") s"
  program_figures after "$view_bench" count "$ombrix"
  if [ -n "$before" ]; then
    sed -E "$made" "$work/after.html" | cmp -s - <(sed -E "$made" "$work/before.html") &&
      same=yes || same=NO
    # The chart's buckets may differ in width between builds: the rest compared without it.
    chartless() { sed -E "$made" "$1" | perl -0pe 's/<svg.*?<\/svg>//gs'; }
    cmp -s <(chartless "$work/after.html") <(chartless "$work/before.html") &&
      same="$same (its chart apart: yes)" || same="$same (its chart apart: NO)"
    cmp -s "$work/after.csv" "$work/before.csv" && same="$same, CSV: yes" || same="$same, CSV: NO"
    echo "$engine: after's report the same as before's but for the time it was made: $same"
  fi
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
    sql() { PGCLIENTENCODING=UTF8 psql -h "$data" -p "$port" -U ombrix -d ombrix_site -At -c "$1"; }
  else
    sql() {
      mariadb --no-defaults --default-character-set=utf8mb4 --socket="$data/socket" \
        -u "$(id -un)" ombrix_site -N -e "$1"
    }
  fi
  case " $parts " in *" push "*) push_figures ;; esac
  if [ "$engine" = mariadb ]; then
    # A larger redo log too, so that filling millions of rows is not held up by its checkpoints.
    sql "SET GLOBAL innodb_buffer_pool_size = $((${SITE_MARIA_BUFFER_POOL_MIB:-2048} * 1048576));
      SET GLOBAL innodb_log_file_size = 1073741824" >/dev/null
  fi

  case " $parts " in *" scale "*) scale_figures ;; esac
  "$server" stop "$state" >/dev/null
  server=""
done
