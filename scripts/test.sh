#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
"$root/scripts/build.sh"

source "$root/scripts/wine-session.sh"
wine_session_start "$build"

ctest --test-dir "$build" --output-on-failure --timeout 600 "$@"

# The pure logic again, natively under the sanitizers, and a bounded fuzzing run of each target.
"$root/scripts/fuzz.sh"
