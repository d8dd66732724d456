#!/usr/bin/env bash
# Builds pure_tests natively with clang's source-based coverage, runs it once, and prints the
# line, branch and function coverage of each Windows-free source (what the tovalen_pure library
# is built from, and the headers it includes). Fails when such a function is never called by
# pure_tests, or when a file's branch coverage falls below its floor in
# scripts/coverage-floors.txt (see that file).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_COVERAGE_BUILD_DIR:-$root/build/coverage}"
"$root/scripts/setup.sh"
# Compiled for real: an object from a compiler cache may carry the source paths of another
# checkout, which the coverage map then names.
export CCACHE_DISABLE=1
cmake --preset native-coverage -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target pure_tests >/dev/null
rm -f "$build"/pure_tests-*.profraw
LLVM_PROFILE_FILE="$build/pure_tests-%p.profraw" "$build/tests/pure_tests" --gtest_brief=1 >/dev/null
llvm-profdata-14 merge -sparse "$build"/pure_tests-*.profraw -o "$build/pure_tests.profdata"
llvm-cov-14 export "$build/tests/pure_tests" -instr-profile="$build/pure_tests.profdata" >"$build/coverage.json"
python3 "$root/scripts/coverage_check.py" --root "$root" --compile-commands "$build/compile_commands.json" \
  --coverage "$build/coverage.json" --floors "$root/scripts/coverage-floors.txt"
