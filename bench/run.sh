#!/usr/bin/env bash
# Builds and runs the automation layer's benchmark under Wine, in the build's private prefix.
#   TOVALEN_BUILD_DIR=<build dir> bench/run.sh [iterations]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
"$root/scripts/build.sh"
source "$root/scripts/wine-session.sh"
wine_session_start "$build"
"$build/wine-run.sh" "$build/bench/comline_bench.exe" "$@"
