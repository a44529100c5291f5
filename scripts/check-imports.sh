#!/usr/bin/env bash
# Every .exe of the Windows build imports system DLLs only (it is linked statically).
set -euo pipefail
dir=$1
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|shell32|ole32|winmm|odbc32|bcrypt|crypt32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
objdump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
status=0 count=0
while IFS= read -r -d '' exe; do
  count=$((count + 1))
  while read -r dll; do
    lower=$(printf '%s' "$dll" | tr 'A-Z' 'a-z')
    if [[ ! $lower =~ $allowed ]]; then
      echo "$exe imports $dll, which a stock Windows does not have"
      status=1
    fi
  done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$dir" -name '*.exe' -print0)
[ "$count" -gt 0 ] || { echo "no .exe found in $dir"; exit 1; }
echo "$count programs checked"
exit $status
