# Shared by the scripts: the private display and the private Wine prefix.
# shellcheck shell=bash

FLASHSAVER_ROOT=${FLASHSAVER_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="${FLASHSAVER_WINEPREFIX:-$FLASHSAVER_ROOT/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers: they would ask for downloads this machine cannot make.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Starts Xvfb on a free display number; sets FLASHSAVER_XVFB_PID and DISPLAY.
# Extra arguments replace the default screen layout.
start_private_display() {
  local n
  for n in $(seq 90 190); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    if [ $# -gt 0 ]; then
      Xvfb ":$n" -nolisten tcp "$@" >/dev/null 2>&1 &
    else
      Xvfb ":$n" -nolisten tcp -screen 0 1280x1024x24 >/dev/null 2>&1 &
    fi
    FLASHSAVER_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$FLASHSAVER_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$FLASHSAVER_XVFB_PID" 2>/dev/null; then
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "no free X display for Xvfb" >&2
  return 1
}

stop_private_display() {
  [ -n "${FLASHSAVER_XVFB_PID:-}" ] && kill "$FLASHSAVER_XVFB_PID" 2>/dev/null
  FLASHSAVER_XVFB_PID=
}

# Creates the private prefix once; later calls return at once.
ensure_wine_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.flashsaver-ready" ]; then
      rm -rf "$WINEPREFIX"
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
      # A crashing program must end, not wait behind Wine's crash dialog.
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.flashsaver-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Keeps Wine's own background processes (services, explorer) alive for a whole test run, started
# with their output away from ctest's pipes: otherwise each test's first Wine process would
# start them with that test's stdout, and ctest would wait for them to close it.
start_wine_keeper() {
  local fifo="$WINEPREFIX.keeper"
  rm -f "$fifo"
  mkfifo "$fifo"
  wine cmd /c pause <"$fifo" >/dev/null 2>&1 &
  FLASHSAVER_KEEPER_PID=$!
  exec 9>"$fifo"
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

stop_wine_keeper() {
  exec 9>&- 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -f "$WINEPREFIX.keeper"
}
