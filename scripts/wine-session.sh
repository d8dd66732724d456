# Sourced by the scripts: a display for Wine (Xvfb when there is none) and one persistent
# wineserver for the build's private prefix, both ended when the calling script exits.
#   wine_session_start <build-dir> [own-display]
# With "own-display" it always starts Xvfb, even on a desktop: the tests open windows, press
# buttons and show message boxes, and none of that may reach the developer's own screen.

# Every Wine process starts without address-space randomization, which now and then leaves no
# room for Windows' shared data page (see cmake/wine-run.sh.in); the processes it starts inherit that.
without_randomization() { setarch "$(uname -m)" -R "$@"; }

wine_session_cleanup() {
  if [[ -n "${TOVALEN_WINEPREFIX:-}" ]]; then
    WINEPREFIX="$TOVALEN_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  fi
  if [[ -n "${TOVALEN_XVFB_PID:-}" ]]; then
    kill "$TOVALEN_XVFB_PID" >/dev/null 2>&1 || true
    wait "$TOVALEN_XVFB_PID" 2>/dev/null || true
  fi
}

start_xvfb() {
  local n
  for n in $(seq 90 140); do
    if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then
      Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
      TOVALEN_XVFB_PID=$!
      for _ in $(seq 1 100); do
        [[ -e /tmp/.X11-unix/X$n ]] && break
        sleep 0.05
      done
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "no free X display number for Xvfb" >&2
  return 1
}

wine_session_start() {
  local build_dir=$1 display_mode=${2:-}
  trap wine_session_cleanup EXIT
  if [[ $display_mode == own-display || -z "${DISPLAY:-}" ]] || ! xdpyinfo >/dev/null 2>&1; then
    start_xvfb
    TOVALEN_OWN_DISPLAY=1
  fi
  export TOVALEN_WINEPREFIX="$build_dir/wineprefix"
  export WINEPREFIX="$TOVALEN_WINEPREFIX" WINEARCH=win64 WINEDEBUG=-all
  # No Gecko or Mono installer dialogs; no desktop-menu entries on the host for the Start-menu
  # shortcuts the installer tests make.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "Making the Wine prefix $WINEPREFIX"
    without_randomization wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # One wineserver for the whole run: every Wine process started later attaches to it.
  wineserver -p >/dev/null 2>&1
  # Starts Wine's services now, away from any test's output.
  without_randomization wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}
