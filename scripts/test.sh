#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the Windows test programs under
# Wine, and meanwhile the pure logic natively under the sanitizers with its fuzzing run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
"$root/scripts/build.sh"

# The native run needs no Wine; it goes on beside the Windows tests and reports at the end.
fuzz_log=$(mktemp "${TMPDIR:-/tmp}/tovalen-fuzz.XXXXXX")
"$root/scripts/fuzz.sh" >"$fuzz_log" 2>&1 &
fuzz_pid=$!

source "$root/scripts/wine-session.sh"
wine_session_start "$build" own-display

status=0
ctest --test-dir "$build" --output-on-failure --timeout 900 -j3 "$@" || status=$?

fuzz_status=0
wait "$fuzz_pid" || fuzz_status=$?
echo "== sanitizers and fuzzing"
cat "$fuzz_log"
rm -f "$fuzz_log"
if [[ $fuzz_status -ne 0 ]]; then
  status=$fuzz_status
fi
exit "$status"
