#!/usr/bin/env bash
# The Windows build's ombrix.exe under Wine against the site tests' PostgreSQL server: Wine's
# odbc32 hands every call to the host's unixODBC and its PostgreSQL driver. It pushes an archive
# with Hangul names, reads the site's rows back as the native ombrix does, and a wrong password
# ends with status 8 without the password shown.
#   wine-site-check.sh OMBRIX_EXE NATIVE_OMBRIX STATE   (STATE: tests/site/pg_server.sh's file)
set -euo pipefail
exe=$1 native=$2 state=$3
source "$(dirname "$0")/wine-env.sh"
ensure_wine_prefix
site=$(sed -n 's/^OMBRIX_TEST_SITE=//p' "$state")
password=$(sed -n 's/^OMBRIX_TEST_SITE_PASSWORD=//p' "$state")
[ -n "$site" ] || { echo "FAIL: no server in $state (the fixture site.ServerStart starts it)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cat > "$work/기록.csv" <<'CSV'
No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과
1,2031-05-07 02:05:09 오후,홍길동,123,4567,세균,100,200,250,오염
2,2031-05-07 12:05:09 오전,,,,,,,150,-
CSV
archive=$(winepath -w "$work/보관.sqlite3")
run_wine "$exe" --archive "$archive" import "$(winepath -w "$work/기록.csv")" 2>/dev/null ||
  fail "import"
out=$(run_wine "$exe" --archive "$archive" --site "$site" sync 2>"$work/err") ||
  fail "sync: $(cat "$work/err")"
[ "$out" = "사이트 보관: 2건을 보냈습니다. (이미 있던 측정 기록 0건)" ] || fail "sync said: $out"

# Read back through Wine and natively: the same rows, Hangul whole; this PC's name on them.
filter=(history --from 2031-05-07 --to 2031-05-07)
run_wine "$exe" --site "$site" "${filter[@]}" >"$work/wine.csv" 2>"$work/err" ||
  fail "history: $(cat "$work/err")"
"$native" --site "$site" "${filter[@]}" >"$work/native.csv"
cmp -s "$work/wine.csv" "$work/native.csv" || { diff "$work/wine.csv" "$work/native.csv" >&2; fail "the site's rows"; }
grep -q "^1,2031-05-07 02:05:09 오후,홍길동,123,4567,세균,100,200,250,오염$" "$work/wine.csv" ||
  fail "the rows: $(cat "$work/wine.csv")"
pc=$(run_wine cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r')
[ "$(run_wine "$exe" --site "$site" "${filter[@]}" --pc "$pc" 2>/dev/null | wc -l)" = 3 ] ||
  fail "--pc $pc"

status=0
run_wine "$exe" --archive "$archive" --site "${site/Pwd=$password/Pwd=not-$password}" sync \
  >/dev/null 2>"$work/err" || status=$?
[ "$status" = 8 ] || fail "a wrong password: status $status"
grep -q "Pwd=\*\*\*" "$work/err" || fail "a wrong password: $(cat "$work/err")"
! grep -q "$password" "$work/err" || fail "the password was shown"
echo "ombrix.exe under Wine pushed to and read from the site archive through ODBC"
