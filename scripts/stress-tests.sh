#!/usr/bin/env bash
# Runs the Windows test programs N times (default 20) while every core is kept busy, and prints
# for each test program how many runs failed. A test that passes only on a quiet machine fails
# here; CI, which shares its machine, would fail with it some day. Not part of CI.
#   scripts/stress-tests.sh [N] [ctest arguments, e.g. -R shell_end_to_end]
# The output of every failed run stays in build/mingw/stress/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
runs=${1:-20}
shift || true
"$root/scripts/build.sh" >/dev/null

source "$root/scripts/wine-session.sh"
wine_session_start "$build" own-display

# One busy loop per core. Each also ends by itself after the longest time the runs may take, so
# no load outlives the script even if it is killed.
load_pids=()
stop_load() {
  ((${#load_pids[@]})) && kill "${load_pids[@]}" 2>/dev/null
  wait "${load_pids[@]}" 2>/dev/null || true
  wine_session_cleanup
}
trap stop_load EXIT
for _ in $(seq "$(nproc)"); do
  timeout "$((runs * 900))" sh -c 'while :; do :; done' &
  load_pids+=($!)
done

logs="$build/stress"
rm -rf "$logs"
mkdir -p "$logs"
mapfile -t programs < <(ctest --test-dir "$build" -N "$@" | sed -n 's/^ *Test *#[0-9]*: *//p')
declare -A failed
for program in "${programs[@]}"; do failed[$program]=0; done

started=$SECONDS
for run in $(seq "$runs"); do
  log="$logs/run-$run.log"
  ctest --test-dir "$build" --output-on-failure --timeout 900 -j3 "$@" >"$log" 2>&1 || true
  mapfile -t failing < <(sed -n 's/^ *[0-9]*\/[0-9]* *Test *#[0-9]*: *\([^ ]*\) .*\(Failed\|Timeout\|Exception\|Not Run\).*/\1/p' "$log")
  for program in "${failing[@]}"; do failed[$program]=$((failed[$program] + 1)); done
  if ((${#failing[@]} == 0)); then rm -f "$log"; fi
  echo "run $run of $runs: ${#failing[@]} failed ${failing[*]:-} ($((SECONDS - started)) s so far)"
done

echo
echo "failed runs of $runs, per test program, with every core kept busy:"
total=0
for program in "${programs[@]}"; do
  printf '  %-40s %d\n' "$program" "${failed[$program]}"
  total=$((total + failed[$program]))
done
((total == 0))
