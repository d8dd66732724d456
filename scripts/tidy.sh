#!/usr/bin/env bash
# clang-tidy over the sources of src/ and packaging/ as the Windows build compiles them (its
# compile commands), with the checks of .clang-tidy; any finding fails the run. Clang reads them
# as the MinGW-w64 target with only the cross compiler's libstdc++ and MinGW-w64 headers, none of
# the host's. Files may be named to check only those, e.g. `scripts/tidy.sh src/report/probes.cpp`.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TOVALEN_BUILD_DIR:-$root/build/mingw}"
if [[ ! -f $build/compile_commands.json ]]; then
  "$root/scripts/setup.sh"
  cmake --preset mingw -S "$root" -B "$build" >/dev/null
fi
gcc_folder=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
libstdcxx="$gcc_folder/include/c++"
arguments=(-p "$build" --quiet
  --extra-arg-before=--target=x86_64-w64-mingw32 --extra-arg=-nostdlibinc
  "--extra-arg=-isystem$libstdcxx" "--extra-arg=-isystem$libstdcxx/x86_64-w64-mingw32"
  "--extra-arg=-isystem$libstdcxx/backward" --extra-arg=-isystem/usr/x86_64-w64-mingw32/include
  --extra-arg=-Wno-error)

files=("$@")
if ((${#files[@]} == 0)); then
  mapfile -t files < <(python3 -c '
import json, sys
root = sys.argv[1]
for entry in json.load(open(sys.argv[2])):
    if entry["file"].startswith((root + "/src/", root + "/packaging/")) and entry["file"].endswith(".cpp"):
        print(entry["file"])' "$root" "$build/compile_commands.json" | sort -u)
fi

start=$SECONDS
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# Two at a time: the machine's cores, which the Wine tests beside it mostly leave waiting.
printf '%s\0' "${files[@]}" | xargs -0 -n 1 -P 2 clang-tidy-14 "${arguments[@]}" >"$log" 2>&1 || status=$?
grep -E '(warning|error): ' "$log" | sort -u || true
echo "clang-tidy: ${#files[@]} files, $(grep -cE '(warning|error): .*\[' "$log" || true) findings ($((SECONDS - start)) s)"
exit "$status"
