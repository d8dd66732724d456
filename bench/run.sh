#!/usr/bin/env bash
# Builds Tovalen and runs every benchmark program under Wine, printing their tables.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
"$root/scripts/build.sh" >/dev/null
source "$root/scripts/wine-session.sh"
wine_session_start "$build"
for program in "$build"/bench/*.exe; do
  echo "== $(basename "$program" .exe)"
  "$build/wine-run.sh" "$program" "$@" | tr -d '\r'
done
