#!/usr/bin/env bash
# The field figures in one run (not part of the tests; a short version of the faulty
# operations is):
#   - 1000 connects and disconnects of the link, natively and under Wine: handles (open file
#     descriptors) and threads at the start and the end; then the CPU with the line gone;
#   - a seeded run of device operations with random faults through the dialog on the in-memory
#     window and the POSIX link, every box, list cell and device item checked after each against
#     what the device and its faults leave; it fails unless every kind of fault was injected
#     MIN_EACH_FAULT times (20) and MIN_CLEAN operations (500) met no fault;
#   - the real program under Wine: ROUNDS rounds of connect, read users, read records, empty the
#     lists and disconnect, a fault now and then (WINE_FAULT_PERCENT); its own handles, threads,
#     GDI and USER objects and memory every 100 rounds; then the CPU of the program and of the Wine
#     server with the line working and with the line gone.
# CYCLES (1000), OPERATIONS (2000), SEED (1), FAULT_PERCENT (2), ROUNDS (500),
# WINE_FAULT_PERCENT (1) and IDLE_SECONDS (10) change the figures; every run is bounded by them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
native=$root/build/native windows=$root/build/windows
cycles=${CYCLES:-1000} operations=${OPERATIONS:-2000} seed=${SEED:-1}
percent=${FAULT_PERCENT:-2} rounds=${ROUNDS:-500} idle=${IDLE_SECONDS:-10}
hang_up=$((cycles / 100 + 20))  # requests before the device's end closes

source "$root/scripts/wine-env.sh"
out=$(mktemp)
status=0  # every part runs; a part that fails fails the whole
trap 'stop_simulator; rm -f "$out"' EXIT

echo "== reconnects and the dead line, natively (POSIX port on a pseudo-terminal)"
"$native/ombrix-sim" --quiet --users 3 --hang-up "$hang_up" > "$out" &
SIM_PID=$!
for _ in $(seq 1 100); do grep -q '^PTY ' "$out" && break; sleep 0.05; done
"$native/soak_link" "$(sed -n 's/^PTY //p' "$out")" "$cycles" "$idle" || status=1
stop_simulator

echo "== reconnects and the dead line, under Wine (COM1 mapped to a pseudo-terminal)"
ensure_wine_prefix
start_simulator "$native/ombrix-sim" com1 -- --quiet --users 3 --hang-up "$hang_up"
wine "$windows/soak_link.exe" COM1 "$cycles" "$idle" || status=1
stop_simulator

echo "== $operations device operations with random faults (seed $seed), natively"
"$native/soak_ops" --operations "$operations" --seed "$seed" --percent "$percent" \
  --min-each-fault "${MIN_EACH_FAULT:-20}" --min-clean "${MIN_CLEAN:-500}" || status=1

echo "== the program under Wine: $rounds rounds of reads with a fault now and then"
OMBRIX_NATIVE_BUILD=$native OMBRIX_WINDOWS_BUILD=$windows \
  python3 "$root/bench/wine_soak.py" "$rounds" "${WINE_FAULT_PERCENT:-1}" "$seed" "$idle" || status=1
exit $status
