#!/usr/bin/env bash
# Sets up the machine and builds Tovalen and its tests for Windows x64.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
cmake --preset mingw -S "$root" >/dev/null
cmake --build "$root/build/mingw"
