#!/usr/bin/env bash
# The two programs of a Windows build load at a random address (ASLR, with 64-bit high entropy)
# and run no code from their data (DEP): their PE header's DllCharacteristics has DYNAMIC_BASE,
# HIGH_ENTROPY_VA and NX_COMPAT, and their relocations, without which ASLR cannot move them, are
# kept (Characteristics without RELOCS_STRIPPED).
#   check-hardening.sh WINDOWS_BUILD_DIR
set -euo pipefail
dir=$1
objdump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
declare -A needed=([HIGH_ENTROPY_VA]=0x20 [DYNAMIC_BASE]=0x40 [NX_COMPAT]=0x100)
relocs_stripped=0x1
status=0
for exe in "$dir/Ombrix_Tessaly.exe" "$dir/cli/ombrix.exe"; do
  header=$("$objdump" -p "$exe")
  flags=0x$(sed -n 's/^DllCharacteristics\s\+\([0-9a-fA-F]\+\)$/\1/p' <<<"$header")
  characteristics=$(sed -n 's/^Characteristics\s\+\(0x[0-9a-fA-F]\+\)$/\1/p' <<<"$header")
  if [ "$flags" = 0x ] || [ -z "$characteristics" ]; then
    echo "$exe: no PE header read"
    status=1
    continue
  fi
  for name in "${!needed[@]}"; do
    if (( (flags & needed[$name]) == 0 )); then
      echo "$exe: $name is off (DllCharacteristics $flags)"
      status=1
    fi
  done
  if (( characteristics & relocs_stripped )); then
    echo "$exe: its relocations are stripped, so ASLR cannot move it"
    status=1
  fi
  [ $status = 0 ] && echo "$exe: DllCharacteristics $flags"
done
exit $status
