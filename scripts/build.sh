#!/usr/bin/env bash
# Builds both targets from this tree: build/native (Linux: the portable code, the simulator and
# the tests) and build/windows (the .exe files, cross-compiled with MinGW-w64).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S "$root" -B "$root/build/windows" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$root/build/windows" -j "$jobs"

cmake -S "$root" -B "$root/build/native" -DOMBRIX_WINDOWS_BUILD_DIR="$root/build/windows" >/dev/null
cmake --build "$root/build/native" -j "$jobs"
