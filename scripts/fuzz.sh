#!/usr/bin/env bash
# Builds the pure logic natively with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# runs its unit tests there, then runs each libFuzzer target from its seed corpus for a bounded
# time. Any finding fails the run. TOVALEN_FUZZ_SECONDS sets the time per target.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_NATIVE_BUILD_DIR:-$root/build/native}"
"$root/scripts/setup.sh"
cmake --preset native-sanitize -S "$root" -B "$build" >/dev/null
cmake --build "$build"
"$build/tests/pure_tests" --gtest_brief=1

seconds="${TOVALEN_FUZZ_SECONDS:-8}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in "$build"/fuzz/fuzz_*; do
  name=$(basename "$target")
  seeds="$root/fuzz/corpus/$name"
  # New inputs go to a scratch folder; the committed corpus stays as it is.
  mkdir -p "$work/$name"
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=0 \
    -artifact_prefix="$build/fuzz/$name-" "$work/$name" "$seeds" 2>"$work/$name.log" || {
      tail -40 "$work/$name.log"
      echo "$name found a fault; the input is in $build/fuzz/" >&2
      exit 1
    }
done
