#!/usr/bin/env bash
# Sets up the machine and builds Tovalen and its tests for Windows x64.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
# TOVALEN_BUILD_DIR lets several working copies or people share one checkout.
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
cmake --preset mingw -S "$root" -B "$build" >/dev/null
cmake --build "$build"
