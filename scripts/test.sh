#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the Windows test programs under
# Wine, and meanwhile clang-tidy over the sources as the Windows build compiles them, and the pure
# logic natively under the sanitizers with its fuzzing run, then the mutation check of its unit
# tests and their coverage, and beside them the release built twice more and compared byte for
# byte.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
"$root/scripts/build.sh"

# The native runs need no Wine; they go on beside the Windows tests, one after the other, and
# report at the end: the sanitizers and fuzzing, the faults the unit tests must notice, then what
# the unit tests never run.
native_log=$(mktemp "${TMPDIR:-/tmp}/tovalen-native.XXXXXX")
(
  native_status=0
  "$root/scripts/fuzz.sh" || native_status=$?
  "$root/scripts/mutation-check.sh" || native_status=$?
  "$root/scripts/coverage.sh" || native_status=$?
  exit "$native_status"
) >"$native_log" 2>&1 &
native_pid=$!

# The analysers need the build's compile commands and generated files, and nothing of Wine; any
# finding fails the command. After them, the release is built twice more from the same sources and
# compared byte for byte. One after the other: the machine's cores are shared with the rest.
tidy_log=$(mktemp "${TMPDIR:-/tmp}/tovalen-tidy.XXXXXX")
reproduce_log=$(mktemp "${TMPDIR:-/tmp}/tovalen-reproduce.XXXXXX")
(
  "$root/scripts/tidy.sh" >"$tidy_log" 2>&1 || echo "tidy_status=$?" >>"$tidy_log"
  "$root/scripts/reproduce.sh" >"$reproduce_log" 2>&1 || echo "reproduce_status=$?" >>"$reproduce_log"
) &
release_checks_pid=$!

source "$root/scripts/wine-session.sh"
wine_session_start "$build" own-display

status=0
ctest --test-dir "$build" --output-on-failure --timeout 900 -j3 "$@" || status=$?

wait "$release_checks_pid" || true
echo "== clang-tidy"
cat "$tidy_log"
if grep -q '^tidy_status=' "$tidy_log"; then
  status=1
fi
rm -f "$tidy_log"

native_status=0
wait "$native_pid" || native_status=$?
echo "== sanitizers, fuzzing, mutation check and coverage"
cat "$native_log"
rm -f "$native_log"
if [[ $native_status -ne 0 ]]; then
  status=$native_status
fi

echo "== reproduction of the release"
cat "$reproduce_log"
if grep -q '^reproduce_status=' "$reproduce_log"; then
  status=1
fi
rm -f "$reproduce_log"
exit "$status"
