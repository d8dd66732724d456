#!/usr/bin/env bash
# Sets up the machine, builds Tovalen and runs it under Wine.
# With a display, Tovalen appears in its tray: click the star (Ctrl+C here ends it).
# Without one, Xvfb stands in: the script clicks the tray icon as a user would, saves a
# screenshot of the report window to build/mingw/tovalen-report.png and prints the report.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/mingw"
# Only what running needs: the program, and the small tool that prints its window's text.
"$root/scripts/build.sh" tovalen print_report >/dev/null

source "$root/scripts/wine-session.sh"
wine_session_start "$build"

if [[ -z "${TOVALEN_OWN_DISPLAY:-}" ]]; then
  echo "Tovalen runs in the notification area of $DISPLAY; Ctrl+C ends it."
  without_randomization wine "$build/tovalen.exe"
  exit 0
fi

wait_for_window() {  # name pattern, seconds
  local id=""
  for _ in $(seq 1 $(($2 * 10))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

(cd "$build" && without_randomization wine "$build/tovalen.exe" >/dev/null 2>&1 &)

# Without a desktop tray, Wine shows the icons in a small window of its own.
tray=$(wait_for_window '^Wine System Tray$' 60) || { echo "the tray icon did not appear" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$tray")"
icon_x=$((X + 10)) icon_y=$((Y + 10))
xdotool mousemove "$icon_x" "$icon_y" click 1

report=$(wait_for_window '^Tovalen$' 120) || { echo "the report window did not appear" >&2; exit 1; }
sleep 1  # let it paint
eval "$(xdotool getwindowgeometry --shell "$report")"
shot="$build/tovalen-report.png"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
echo "Screenshot of the report window: $shot"
echo
without_randomization wine "$build/print_report.exe" 2>/dev/null | tr -d '\r'
