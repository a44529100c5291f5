# Sourced by the scripts that run Windows programs: the project's own Wine prefix, with COM1 to
# COM16 (the port selector's twelve and a few beyond, as USB adapters get) mapped to symbolic
# links under $OMBRIX_PORTS. A simulator run points a link at its pseudo-terminal
# (ombrix-sim --link "$OMBRIX_PORTS/com1"); a port without a link cannot open. Wine reads the
# port map only when it starts, so the map is written when the prefix is made, and the links
# change instead. A prefix made by an older version of this file is made again in place: its
# ready mark names the version it was made by.

OMBRIX_ROOT=${OMBRIX_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${OMBRIX_WINE_PREFIX:-$OMBRIX_ROOT/build/wine}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
OMBRIX_PORTS=$WINEPREFIX/ports

OMBRIX_WINE_PORT_COUNT=16
OMBRIX_PREFIX_VERSION=2  # raised whenever what ensure_wine_prefix writes changes

wine_prefix_ready() {
  [ "$(cat "$WINEPREFIX/.ombrix-ready" 2>/dev/null)" = "$OMBRIX_PREFIX_VERSION" ]
}

# The wineserver and Wine's background services, started here with their output dropped: the
# ones that `wine` starts itself keep its standard output open (a test runner then waits for
# them) and the server writes a dump of its objects there when it ends.
start_quiet_wineserver() {
  (wineserver -p30 </dev/null >/dev/null 2>&1 &)
  wineboot </dev/null >/dev/null 2>&1 || true
}

# Debian's Wine does not find the fonts of fonts-wine by itself; without Marlett the caption
# buttons show as letters.
install_wine_fonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -f "$fonts/marlett.ttf" ] || { mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"; }
}

ensure_wine_prefix() {
  if wine_prefix_ready; then
    install_wine_fonts
    start_quiet_wineserver
    return 0
  fi
  echo "Preparing the Wine prefix in $WINEPREFIX (once) ..." >&2
  mkdir -p "$WINEPREFIX" "$OMBRIX_PORTS"
  if ! wineboot -i >/dev/null 2>&1 || [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
    echo "wineboot could not prepare the Wine prefix in $WINEPREFIX" >&2
    return 1
  fi
  local reg="$WINEPREFIX/ombrix.reg"
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    for n in $(seq 1 "$OMBRIX_WINE_PORT_COUNT"); do
      printf '"COM%d"="%s"\r\n' "$n" "$(printf '%s' "$OMBRIX_PORTS/com$n" | sed 's/\\/\\\\/g')"
    done
    printf '\r\n'
    # Dialogs and message boxes in a Hangul font on any locale, Wine's default 1252 included.
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for face in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "Microsoft Sans Serif"; do
      printf '"%s"="NanumGothic"\r\n' "$face"
    done
    printf '\r\n'
    # Every program on one virtual desktop: without a window manager each closing dialog
    # would stall Wine for seconds.
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Default"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Default"="%s"\r\n\r\n' \
      "${OMBRIX_DESKTOP_SIZE:-1024x768}"
  } > "$reg"
  if ! wine regedit /S "$reg" >/dev/null 2>&1; then
    echo "regedit could not write the port map into $WINEPREFIX" >&2
    return 1
  fi
  install_wine_fonts
  # The port map takes effect at the next start of the prefix.
  wineserver -k >/dev/null 2>&1 || true
  if ! wineboot >/dev/null 2>&1; then
    echo "wineboot could not restart the Wine prefix in $WINEPREFIX" >&2
    return 1
  fi
  wineserver -w >/dev/null 2>&1 || true
  grep -q "\"COM$OMBRIX_WINE_PORT_COUNT\"=" "$WINEPREFIX/system.reg" ||
    { echo "the port map is missing from $WINEPREFIX" >&2; return 1; }
  echo "$OMBRIX_PREFIX_VERSION" > "$WINEPREFIX/.ombrix-ready"
  start_quiet_wineserver
}

# Starts the simulator on a new pseudo-terminal linked as the given ports (com1 com10 ...);
# sets SIM_PID. Further arguments after "--" go to the simulator.
start_simulator() {
  local sim=$1; shift
  local links=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do links+=("$1"); shift; done
  [ "${1:-}" = "--" ] && shift
  mkdir -p "$OMBRIX_PORTS"
  rm -f "$OMBRIX_PORTS"/com*
  local out; out=$(mktemp)
  "$sim" --link "$OMBRIX_PORTS/${links[0]}" "$@" > "$out" 2>"${SIM_LOG:-/dev/null}" &
  SIM_PID=$!
  for _ in $(seq 1 100); do grep -q '^PTY ' "$out" && break; sleep 0.05; done
  local pty; pty=$(sed -n 's/^PTY //p' "$out")
  rm -f "$out"
  [ -n "$pty" ] || { echo "the simulator did not start" >&2; return 1; }
  for link in "${links[@]:1}"; do ln -sf "$pty" "$OMBRIX_PORTS/$link"; done
}

stop_simulator() {
  [ -n "${SIM_PID:-}" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
  SIM_PID=
  return 0
}

# A display for the program: the caller's when DISPLAY is set, otherwise a new Xvfb (sets
# XVFB_PID). Wine runs on a virtual desktop inside it: with no window manager, every closing
# dialog would stall it for seconds.
# Xvfb picks a free display number itself and writes it once it accepts connections.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${OMBRIX_FORCE_XVFB:-}" ]; then return 0; fi
  local out; out=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 600); do [ -s "$out" ] && break; kill -0 "$XVFB_PID" 2>/dev/null || break; sleep 0.05; done
  local n; n=$(head -n1 "$out"); rm -f "$out"
  [ -n "$n" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$n"
}

stop_display() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  XVFB_PID=
  return 0
}

# Runs a Windows program in the Korean locale, as the program's users have it;
# OMBRIX_LOCALE=C gives Wine's default (code page 1252).
run_wine() {
  local wanted=${OMBRIX_LOCALE:-ko_KR.UTF-8}
  LANG=$wanted LC_ALL=$wanted wine "$@"
}
