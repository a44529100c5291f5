#!/usr/bin/env bash
# The Windows build's ombrix.exe under Wine against the site tests' PostgreSQL server: Wine's
# odbc32 hands every call to the host's unixODBC and its PostgreSQL driver. It pushes an archive
# with Hangul names, reads the site's rows back as the native ombrix does, finds the same rows
# pushed natively already there (one identity hash from CNG and nettle), and a wrong password
# ends with status 8 without the password shown. The connection string never stands on a command
# line: it comes from a file (--site-file), and "site set" stores it in the registry's SiteArchive
# protected with DPAPI (the machine's key under HKLM, the user's under HKCU), which sync, "site
# show" and "site test" read as they read a plain value; the machine's before the user's.
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
# A connection string as a file only its owner reads, named to ombrix.exe by its Windows path.
site_file() { (umask 077; printf '%s\n' "$2" > "$work/$1"); winepath -w "$work/$1"; }
conn=$(site_file site.conn "$site")

cat > "$work/기록.csv" <<'CSV'
No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과
1,2031-05-07 02:05:09 오후,홍길동,123,4567,세균,100,200,250,오염
2,2031-05-07 12:05:09 오전,,,,,,,150,-
CSV
archive=$(winepath -w "$work/보관.sqlite3")
run_wine "$exe" --archive "$archive" import "$(winepath -w "$work/기록.csv")" 2>/dev/null ||
  fail "import"
out=$(run_wine "$exe" --archive "$archive" --site-file "$conn" sync 2>"$work/err") ||
  fail "sync: $(cat "$work/err")"
[ "$out" = "사이트 보관: 2건을 보냈습니다. (이미 있던 측정 기록 0건)" ] || fail "sync said: $out"

# Read back through Wine and natively: the same rows, Hangul whole; this PC's name on them.
filter=(history --from 2031-05-07 --to 2031-05-07)
run_wine "$exe" --site-file "$conn" "${filter[@]}" --show-ids >"$work/wine.csv" 2>"$work/err" ||
  fail "history: $(cat "$work/err")"
"$native" --site-file "$work/site.conn" "${filter[@]}" --show-ids >"$work/native.csv"
cmp -s "$work/wine.csv" "$work/native.csv" || { diff "$work/wine.csv" "$work/native.csv" >&2; fail "the site's rows"; }
grep -q "^1,2031-05-07 02:05:09 오후,홍길동,123,4567,세균,100,200,250,오염$" "$work/wine.csv" ||
  fail "the rows: $(cat "$work/wine.csv")"
# The same rows from a native PC: found there, the identities' hashes (CNG under Wine, nettle
# natively) the same.
"$native" --archive "$work/native.sqlite3" import "$work/기록.csv" 2>/dev/null || fail "native import"
out=$("$native" --archive "$work/native.sqlite3" --site "$site" sync 2>"$work/err") ||
  fail "native sync: $(cat "$work/err")"
[ "$out" = "사이트 보관: 0건을 보냈습니다. (이미 있던 측정 기록 2건)" ] || fail "native sync said: $out"
pc=$(run_wine cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r')
[ "$(run_wine "$exe" --site-file "$conn" "${filter[@]}" --pc "$pc" 2>/dev/null | wc -l)" = 3 ] ||
  fail "--pc $pc"

status=0
wrong=$(site_file wrong.conn "${site/Pwd=$password/Pwd=not-$password}")
run_wine "$exe" --archive "$archive" --site-file "$wrong" sync >/dev/null 2>"$work/err" ||
  status=$?
[ "$status" = 8 ] || fail "a wrong password: status $status"
grep -q "Pwd=\*\*\*" "$work/err" || fail "a wrong password: $(cat "$work/err")"
! grep -q "$password" "$work/err" || fail "the password was shown"
# The registry's settings: the machine's, stored by "site set --machine" from standard input and
# protected with DPAPI, wins over a user's plain value that names no server; without it the
# user's is tried, and fails as a site that cannot be reached does.
key='HKEY_LOCAL_MACHINE\Software\Kavenor\Ombrix_Tessaly' user_key='HKEY_CURRENT_USER\Software\Kavenor\Ombrix_Tessaly'
forget() { run_wine reg delete "$1" /v SiteArchive /f >/dev/null 2>&1 || true; }
trap 'forget "$key"; forget "$user_key"; rm -rf "$work"' EXIT
run_wine "$exe" site set --machine <"$work/site.conn" >"$work/out" 2>"$work/err" ||
  fail "site set --machine: $(cat "$work/err")"
run_wine reg query "$key" /v SiteArchive >"$work/value" 2>/dev/null || fail "reg query"
grep -q REG_BINARY "$work/value" || fail "not protected: $(cat "$work/value")"
! grep -qi "$(printf '%s' "$password" | od -An -tx1 | tr -d ' \n')" "$work/value" ||
  fail "the password stands in the value"
out=$(run_wine "$exe" site show 2>"$work/err") || fail "site show: $(cat "$work/err")"
[ "$out" = "HKLM\\Software\\Kavenor\\Ombrix_Tessaly\\SiteArchive (DPAPI): ${site/Pwd=$password/Pwd=***}" ] ||
  fail "site show said: $out"
out=$(run_wine "$exe" site test 2>"$work/err") || fail "site test: $(cat "$work/err")"
case "$out" in "reached server "*", database ombrix_site, login ombrix "*) ;; *) fail "site test said: $out" ;; esac
run_wine reg add "$user_key" /v SiteArchive /t REG_SZ /d "DSN=ombrix-no-such-site" /f \
  >/dev/null 2>&1 || fail "reg add"
cat > "$work/more.csv" <<'CSV'
No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과
1,2031-05-08 09:00:00 오전,홍길동,123,4567,세균,100,200,20,안전
CSV
run_wine "$exe" --archive "$archive" import "$(winepath -w "$work/more.csv")" 2>/dev/null ||
  fail "import"
out=$(unset OMBRIX_SITE; run_wine "$exe" --archive "$archive" sync 2>"$work/err") ||
  fail "sync with the machine's setting: $(cat "$work/err")"
[ "$out" = "사이트 보관: 1건을 보냈습니다. (이미 있던 측정 기록 0건)" ] || fail "sync said: $out"
# A protected value this account cannot decrypt is refused with the reason, never taken as none.
run_wine reg add "$key" /v SiteArchive /t REG_BINARY /d 00112233445566 /f >/dev/null 2>&1 ||
  fail "reg add"
status=0
run_wine "$exe" site show >/dev/null 2>"$work/err" || status=$?
[ "$status" = 2 ] && grep -q "SiteArchive (DPAPI): cannot be decrypted by this account" "$work/err" ||
  fail "an undecryptable value: status $status, $(cat "$work/err")"
forget "$key"
# A user's value stored by "site set" (the user's key) is read the same way; then the plain one.
run_wine "$exe" site set --site-file "$conn" >/dev/null 2>"$work/err" || fail "site set: $(cat "$work/err")"
out=$(run_wine "$exe" site show 2>"$work/err") || fail "site show: $(cat "$work/err")"
[ "$out" = "HKCU\\Software\\Kavenor\\Ombrix_Tessaly\\SiteArchive (DPAPI): ${site/Pwd=$password/Pwd=***}" ] ||
  fail "site show said: $out"
run_wine reg add "$user_key" /v SiteArchive /t REG_SZ /d "DSN=ombrix-no-such-site" /f \
  >/dev/null 2>&1 || fail "reg add"
status=0
(unset OMBRIX_SITE; run_wine "$exe" --archive "$archive" sync >/dev/null 2>"$work/err") || status=$?
[ "$status" = 8 ] && grep -q "ombrix-no-such-site" "$work/err" ||
  fail "the user's setting: status $status, $(cat "$work/err")"

echo "ombrix.exe under Wine pushed to and read from the site archive through ODBC, the connection"
echo "string from a file and from the registry protected with DPAPI"
