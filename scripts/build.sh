#!/usr/bin/env bash
# Sets up the machine and builds Tovalen for Windows x64: everything (the program, its tests,
# packages and benchmarks), or only the targets named, e.g. `scripts/build.sh tovalen`.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
# TOVALEN_BUILD_DIR lets several working copies or people share one checkout.
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
cmake --preset mingw -S "$root" -B "$build" >/dev/null
targets=()
for target in "$@"; do
  targets+=(--target "$target")
done
cmake --build "$build" "${targets[@]}"
