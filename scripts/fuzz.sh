#!/usr/bin/env bash
# Builds the pure logic natively with clang, AddressSanitizer and UndefinedBehaviorSanitizer (and
# the standard library's bounds checks, which see inside an object), runs its unit tests there,
# then fuzzes each libFuzzer target (or only the targets named as
# arguments, e.g. `scripts/fuzz.sh fuzz_mail_url`). Any finding fails the run: a failing
# committed input is named, a new one is left in build/native/fuzz/<target>-crash-... (or
# -leak-, -timeout-, ...).
#
# Two modes:
# - CI (the default): each target first runs every file of its committed corpus once, then
#   explores with the fixed seed FUZZ_SEED for FUZZ_RUNS inputs. The same tree gives the same
#   inputs, so a red run is reproducible; all targets together take some 15-30 s.
# - Exploration, outside CI: TOVALEN_FUZZ_SECONDS=600 scripts/fuzz.sh checks the corpus the
#   same way, then explores each target for that many seconds with a random seed; the seed and
#   the executions are printed per target.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_NATIVE_BUILD_DIR:-$root/build/native}"
"$root/scripts/setup.sh"
cmake --preset native-sanitize -S "$root" -B "$build" >/dev/null
cmake --build "$build"
"$build/tests/pure_tests" --gtest_brief=1

readonly FUZZ_SEED=20261207
readonly FUZZ_RUNS=10000
seconds="${TOVALEN_FUZZ_SECONDS:-}"
if [[ -n $seconds ]]; then
  exploration=(-max_total_time="$seconds" -seed=0 -print_final_stats=1)
  echo "exploring each target for ${seconds}s with a random seed"
else
  exploration=(-runs="$FUZZ_RUNS" -seed="$FUZZ_SEED" -print_final_stats=1)
  echo "exploring each target for $FUZZ_RUNS runs with seed $FUZZ_SEED"
fi

targets=("$@")
if ((${#targets[@]} == 0)); then
  for target in "$build"/fuzz/fuzz_*; do
    targets+=("$(basename "$target")")
  done
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs one fuzzer with its output in a log; on a finding shows the log's end and stops.
run_fuzzer() {
  local name=$1 log=$2
  shift 2
  "$build/fuzz/$name" -artifact_prefix="$build/fuzz/$name-" "$@" 2>"$log" || {
    tail -40 "$log"
    local committed
    committed=$(sed -n 's/^Running: //p' "$log" | tail -1)
    if [[ -n $committed ]]; then
      echo "$name fails on its committed input $committed" >&2
    else
      echo "$name found a fault; the input is in $build/fuzz/" >&2
    fi
    exit 1
  }
}

for name in "${targets[@]}"; do
  seeds="$root/fuzz/corpus/$name"
  # Each committed input once, one file at a time, so a failing one is named.
  committed=("$seeds"/*)
  run_fuzzer "$name" "$work/$name.corpus.log" "${committed[@]}"
  # New inputs go to a scratch folder; the committed corpus stays as it is.
  mkdir -p "$work/$name"
  run_fuzzer "$name" "$work/$name.log" -max_len=65536 "${exploration[@]}" "$work/$name" "$seeds"
  seed=$(sed -n 's/^INFO: Seed: //p' "$work/$name.log")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
  echo "$name: ${#committed[@]} committed inputs passed; $runs runs from seed $seed, no finding"
done
