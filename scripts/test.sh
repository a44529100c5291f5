#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: the native unit and link
# tests, the fuzzer, and the Windows programs and packages under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
"$root/scripts/package.sh" --no-build >/dev/null  # the release tests install these
# A Wine prefix of the tests' own: they relink its ports and stop its server, which must not
# touch a program that scripts/run.sh has open in build/wine.
export OMBRIX_WINE_PREFIX=${OMBRIX_TEST_WINE_PREFIX:-$root/build/wine-tests}
source "$root/scripts/wine-env.sh"
ensure_wine_prefix
cd "$root/build/native"
ctest --output-on-failure "$@"
