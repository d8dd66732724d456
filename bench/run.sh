#!/usr/bin/env bash
# Builds Tovalen and runs every benchmark under Wine, printing their tables; the figures are also
# written as JSON next to the benchmark programs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
"$root/scripts/build.sh" >/dev/null
source "$root/scripts/wine-session.sh"
wine_session_start "$build"
echo "== report build and collectors"
"$build/wine-run.sh" "$build/bench/report_bench.exe" "$@" | tr -d '\r'
echo "== start-up, idle memory and size"
python3 "$root/bench/idle.py" "$build"
