#!/usr/bin/env bash
# The Windows build's ombrix.exe under Wine against the simulator on COM1: it writes what the
# native ombrix writes for the same instrument, keeps the same rows in its archive (the user's
# own, under %LOCALAPPDATA%), imports and lists them through Hangul paths, and a port without a
# device ends with status 3 and its cause.
#   wine-ombrix-check.sh OMBRIX_EXE NATIVE_OMBRIX SIM
set -euo pipefail
exe=$1 native=$2 sim=$3
source "$(dirname "$0")/wine-env.sh"
ensure_wine_prefix
work=$(mktemp -d)
trap 'stop_simulator; rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/native-data  # the native program's own archive
wine_archive=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Kavenor/Ombrix_Tessaly/archive.sqlite3
rm -f "$wine_archive"*
start_simulator "$sim" com1 -- --quiet --users 4 --standards 3 --records 20
pty=$(readlink "$OMBRIX_PORTS/com1")

fail() { echo "FAIL: $*" >&2; exit 1; }
same() { cmp -s "$1" "$2" || { diff <(od -c "$1") <(od -c "$2") | head -20 >&2; fail "$3"; }; }

for command in users records; do
  "$native" --port "$pty" $command --csv "$work/native-$command.csv" 2>"$work/native.err"
  run_wine "$exe" --port COM1 $command --csv "$(winepath -w "$work/기록-$command.csv")" \
    2>"$work/wine.err"
  same "$work/native-$command.csv" "$work/기록-$command.csv" "$command --csv"
  same "$work/native.err" "$work/wine.err" "$command: the messages"
done
"$native" --port "$pty" standards >"$work/native.out" 2>/dev/null
run_wine "$exe" --port com1 standards >"$work/wine.out" 2>/dev/null
same "$work/native.out" "$work/wine.out" "standards to standard output"

# The archive's rows, less where and when they were archived.
rows() {
  sqlite3 "$1" "SELECT measured_at, user_no, user_name, id1, id2, standard_no, standard_name,
                safety_index, danger_index, value, verdict FROM measurements ORDER BY 1, 10, 3"
}
[ -f "$wine_archive" ] || fail "no archive at $wine_archive"
rows "$XDG_DATA_HOME/ombrix/archive.sqlite3" > "$work/native.rows"
rows "$wine_archive" > "$work/wine.rows"
[ "$(wc -l < "$work/wine.rows")" = 20 ] || fail "the archive holds $(wc -l < "$work/wine.rows") rows"
same "$work/native.rows" "$work/wine.rows" "the archive's rows"
[ "$(sqlite3 "$wine_archive" "SELECT DISTINCT source FROM measurements")" = COM1 ] ||
  fail "the source of the rows"

# The record CSV imported into an archive of another name, and listed back.
mkdir -p "$work/보관"
run_wine "$exe" --archive "$(winepath -w "$work/보관/기록.sqlite3")" import \
  "$(winepath -w "$work/기록-records.csv")" 2>"$work/wine.err" || fail "import: $(cat "$work/wine.err")"
grep -q "측정 기록 20개를 새로 보관했습니다" "$work/wine.err" || fail "import: $(cat "$work/wine.err")"
run_wine "$exe" --archive "$(winepath -w "$work/보관/기록.sqlite3")" history \
  --csv "$(winepath -w "$work/보관/이력.csv")" 2>/dev/null || fail "history"
same "$work/native-records.csv" "$work/보관/이력.csv" "history --csv"

status=0
run_wine "$exe" --archive "$(winepath -w "$work/native-records.csv")" history >/dev/null \
  2>"$work/wine.err" || status=$?
[ "$status" = 7 ] || fail "history of a file that is no archive: status $status"

status=0
run_wine "$exe" --port COM2 users >/dev/null 2>"$work/wine.err" || status=$?
[ "$status" = 3 ] || fail "COM2 without a device: status $status"
# The window's line, then the cause as Wine gives it; a port that Wine does not know is not found.
grep -q "^COM2 연결 실패! — ." "$work/wine.err" || fail "COM2: $(cat "$work/wine.err")"
status=0
run_wine "$exe" --port COM99 users >/dev/null 2>"$work/wine.err" || status=$?
[ "$status" = 3 ] || fail "COM99: status $status"
grep -q "^COM99 연결 실패! — 포트를 찾을 수 없습니다$" "$work/wine.err" || fail "COM99: $(cat "$work/wine.err")"
echo "ombrix.exe under Wine: OK"
