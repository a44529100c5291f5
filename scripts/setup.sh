#!/usr/bin/env bash
# Installs what the build, the program's run and the tests need, on Debian 12. Does nothing
# when everything is there already.
set -euo pipefail

packages=(
  cmake g++ make libgtest-dev python3    # native build, unit tests, the resource script
  clang libclang-rt-14-dev               # the libFuzzer target
  g++-mingw-w64-x86-64-posix             # the Windows build (-posix: std::thread)
  binutils-mingw-w64-x86-64              # windres, objdump for the import check
  wine wine64                            # runs the Windows programs
  xvfb x11-utils imagemagick             # a display for the window, screenshots
  fonts-wine                             # Marlett: the caption buttons as glyphs, not letters
  nsis zip                               # the installer and the portable package
  fonts-nanum locales                    # Hangul font and the Korean locale for Wine
  libsqlite3-dev sqlite3                 # the archive natively; sqlite3 to look into one
  unixodbc unixodbc-dev odbc-postgresql  # the site archive through ODBC, and its driver
  postgresql                             # the server the site tests start for themselves
  mariadb-server odbc-mariadb            # the second engine of the site tests, and its driver
  nettle-dev                             # SHA-256 of the site's identities, natively
  tcl dpkg-dev xz-utils                  # SQLite's single-file source for the Windows build
  chromium poppler-utils                 # the audit report rendered and printed to PDF, its pages
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

# Wine's Korean code page and texts follow the locale it runs in.
if ! locale -a 2>/dev/null | grep -qi '^ko_KR\.utf-\?8$'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo sed -i 's/^# *\(ko_KR.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ko_KR.UTF-8 UTF-8' /etc/locale.gen || echo 'ko_KR.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
