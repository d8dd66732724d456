#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the Windows test programs under
# Wine, and meanwhile the pure logic natively under the sanitizers with its fuzzing run, then the
# mutation check of its unit tests and their coverage, and beside them the release built twice
# more and compared byte for byte.
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

# The release built twice more from the same sources, compared byte for byte.
reproduce_log=$(mktemp "${TMPDIR:-/tmp}/tovalen-reproduce.XXXXXX")
"$root/scripts/reproduce.sh" >"$reproduce_log" 2>&1 &
reproduce_pid=$!

source "$root/scripts/wine-session.sh"
wine_session_start "$build" own-display

status=0
ctest --test-dir "$build" --output-on-failure --timeout 900 -j3 "$@" || status=$?

native_status=0
wait "$native_pid" || native_status=$?
echo "== sanitizers, fuzzing, mutation check and coverage"
cat "$native_log"
rm -f "$native_log"
if [[ $native_status -ne 0 ]]; then
  status=$native_status
fi

reproduce_status=0
wait "$reproduce_pid" || reproduce_status=$?
echo "== reproduction of the release"
cat "$reproduce_log"
rm -f "$reproduce_log"
if [[ $reproduce_status -ne 0 ]]; then
  status=$reproduce_status
fi
exit "$status"
