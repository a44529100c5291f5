#!/usr/bin/env bash
# The Windows build's ombrix.exe under Wine against the simulator on COM1: it writes what the
# native ombrix writes for the same instrument, and a port without a device ends with status 3
# and its cause.
#   wine-ombrix-check.sh OMBRIX_EXE NATIVE_OMBRIX SIM
set -euo pipefail
exe=$1 native=$2 sim=$3
source "$(dirname "$0")/wine-env.sh"
ensure_wine_prefix
work=$(mktemp -d)
trap 'stop_simulator; rm -rf "$work"' EXIT
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
