#!/usr/bin/env bash
# Builds the release packages into build/dist/: Ombrix_Tessaly-<version>-setup.exe (the NSIS
# installer), Ombrix_Tessaly-<version>-portable.zip (the program, the command-line ombrix.exe,
# the user guide and a read-me)
# and SHA256SUMS for both. The version is the CMake project version.
#
# OMBRIX_SIGN_COMMAND, when set, is run with a file name as its last argument on the program
# before it is packed and on the installer and uninstaller as makensis writes them; it must
# exit 0 (for example osslsigncode or signtool wrapped in a small script).
#
# --no-build packs what build/windows holds (scripts/test.sh has just built it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ "${1:-}" = "--no-build" ] || "$root/scripts/build.sh" >/dev/null
windows=$root/build/windows
dist=$root/build/dist
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$windows/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $windows/CMakeCache.txt" >&2; exit 1; }
name=Ombrix_Tessaly-$version

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
rm -rf "$dist"
mkdir -p "$dist" "$stage/$name"

cp "$windows/Ombrix_Tessaly.exe" "$windows/cli/ombrix.exe" "$stage/$name/"
sign=()
if [ -n "${OMBRIX_SIGN_COMMAND:-}" ]; then
  $OMBRIX_SIGN_COMMAND "$stage/$name/Ombrix_Tessaly.exe"
  $OMBRIX_SIGN_COMMAND "$stage/$name/ombrix.exe"
  sign=("-DSIGN=$OMBRIX_SIGN_COMMAND")
fi
cp -r "$root/docs/guide" "$stage/$name/guide"
# Notepad of any Windows version reads UTF-8 with a byte-order mark and CRLF line ends.
{ printf '\xef\xbb\xbf'; sed "s/@VERSION@/$version/; s/\$/\r/" "$root/installer/portable-readme.txt"; } \
  > "$stage/$name/README.txt"

makensis -V2 -INPUTCHARSET UTF8 -DGENERATED="$windows/generated" \
  -DPROGRAM="$stage/$name/Ombrix_Tessaly.exe" -DCONSOLE="$stage/$name/ombrix.exe" -DGUIDE="$stage/$name/guide" \
  -DICON="$root/res/ombrix.ico" -DOUTFILE="$dist/$name-setup.exe" "${sign[@]}" \
  "$root/installer/Ombrix_Tessaly.nsi"

(cd "$stage" && zip -qr -X "$dist/$name-portable.zip" "$name")
(cd "$dist" && sha256sum "$name-setup.exe" "$name-portable.zip" > SHA256SUMS)
echo "Packages in $dist:"
ls -1 "$dist" | sed "s/^/  /"
