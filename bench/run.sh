#!/usr/bin/env bash
# Builds Tovalen and runs every benchmark under Wine in one go, on the same machine: prints
# their tables and the ratios against the floors, and writes build/mingw/bench/results.json.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
runs="${1:-15}"
"$root/scripts/build.sh" >/dev/null
source "$root/scripts/wine-session.sh"
wine_session_start "$build"
windows_path() { echo "Z:${1//\//\\}"; }

echo "== report build and collectors (net.exe: the prefix's own, from its system folder)"
(cd "$build/stand-ins/net" && "$build/wine-run.sh" "$build/bench/report_bench.exe" \
  "$(windows_path "$build/bench/report.json")" "$runs" | tr -d '\r')
for what in program floor; do
  (cd "$build/stand-ins/net" && "$build/wine-run.sh" "$build/bench/report_bench.exe" first "$what" \
    "$(windows_path "$build/bench/first_$what.json")" | tr -d '\r')
done
echo "== report mode as a whole process (as a management tool runs it)"
# Elevated, as every Wine process is, report mode writes only into a folder that nobody but the
# system and the administrators may change; Wine tells that from the folder's mode.
mkdir -p "$build/bench/report-mode" && chmod 0555 "$build/bench/report-mode"
(cd "$build/stand-ins/net" && "$build/wine-run.sh" "$build/bench/whole_process.exe" \
  "$(windows_path "$build/bench/whole_process.json")" "$runs" "$(windows_path "$build/tovalen.exe")" \
  "$(windows_path "$build/bench/report-mode/output.json")" | tr -d '\r')
if [[ -f "$build/bench/comline_bench.exe" ]]; then
  echo "== automation layer"
  "$build/wine-run.sh" "$build/bench/comline_bench.exe" "$(windows_path "$build/bench/comline.json")" | tr -d '\r'
fi
echo "== start-up, idle memory and size"
python3 "$root/bench/idle.py" "$build"
echo "== ratios"
python3 "$root/bench/summary.py" "$build/bench"
