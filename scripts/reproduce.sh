#!/usr/bin/env bash
# Builds the shipped files of the working tree twice and compares them byte for byte: each build
# from its own copy of the sources into its own fresh folder, at its own time, in its own time
# zone, with its own umask and, when run as root, as its own user. The compiler cache is off, so
# that each build compiles for real. On a difference it prints diffoscope's report and fails.
#   scripts/reproduce.sh            (the test command runs it)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
shipped=(tovalen.exe packaging/tovalen_stop.dll THIRD-PARTY-NOTICES.txt)
version=$(sed -n 's/^project(Tovalen VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
shipped+=("tovalen-$version-x64.msi" "tovalen-$version-x64.zip" "tovalen-$version.cdx.json")
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
export CCACHE_DISABLE=1
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER TOVALEN_BUILD_DIR

work=$(mktemp -d "${TMPDIR:-/tmp}/tovalen-reproduce.XXXXXX")
chmod 755 "$work"
rebuilder=
cleanup() {
  rm -rf "$work"
  if [[ -n $rebuilder ]]; then userdel "$rebuilder" 2>/dev/null || true; fi
}
trap cleanup EXIT

# A second user of its own, made for this run and removed after it; without root the same user.
as_second=()
if [[ $(id -u) -eq 0 ]]; then
  rebuilder=tovalen-rebuild-$$
  useradd --system --no-create-home --home-dir "$work/second" --shell /usr/sbin/nologin "$rebuilder"
  as_second=(setpriv "--reuid=$rebuilder" "--regid=$rebuilder" --clear-groups)
fi

# build <folder> <umask> <time zone> [command prefix...]: the working tree's files, unpacked as the
# builder, configured and built in <folder>/build.
build() {
  local folder=$1 mask=$2 zone=$3
  shift 3
  mkdir -p "$folder"
  if [[ $# -gt 0 ]]; then chown "$rebuilder:$rebuilder" "$folder"; fi
  "$@" env HOME="$folder" TZ="$zone" bash -c '
      set -euo pipefail
      umask '"$mask"'
      cd "$1" && mkdir source && tar -xf - -C source
      cmake --preset mingw -S source -B build -DTOVALEN_BUILD_TESTS=OFF >/dev/null
      cmake --build build --target tovalen_zip tovalen_sbom tovalen_notices >build.log 2>&1 ||
        { tail -40 build.log; exit 1; }' build "$folder" <"$work/sources.tar"
}

# One copy of the working tree for both builds, even when it changes meanwhile.
(cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - --no-recursion) \
  >"$work/sources.tar"
chmod 644 "$work/sources.tar"
started=$SECONDS
echo "reproduce: building twice from the working tree, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH"
build "$work/first" 022 UTC
build "$work/second/elsewhere" 077 America/New_York "${as_second[@]}"

status=0
for file in "${shipped[@]}"; do
  first=$work/first/build/$file
  second=$work/second/elsewhere/build/$file
  if cmp -s "$first" "$second"; then
    echo "reproduce: same bytes: $file ($(sha256sum <"$first" | cut -c1-16)...)"
  else
    echo "reproduce: DIFFERENT: $file"
    diffoscope --no-progress --text - "$first" "$second" || true
    status=1
  fi
done
# A signed file differs from the unsigned rebuild only by its signature: the first build's program
# and package, signed with a throwaway certificate, give their signatures to the second build's
# files, which must then be the same bytes.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Tovalen reproduction check" \
  -keyout "$work/key.pem" -out "$work/certificate.pem" 2>/dev/null
for file in tovalen.exe "tovalen-$version-x64.msi"; do
  signed=$work/signed-${file##*/}
  osslsigncode sign -certs "$work/certificate.pem" -key "$work/key.pem" -h sha256 \
    -in "$work/first/build/$file" -out "$signed" >/dev/null
  osslsigncode extract-signature -in "$signed" -out "$signed.p7" >/dev/null
  osslsigncode attach-signature -sigin "$signed.p7" -CAfile "$work/certificate.pem" \
    -in "$work/second/elsewhere/build/$file" \
    -out "$signed.rebuilt" >/dev/null
  if cmp -s "$signed" "$signed.rebuilt"; then
    echo "reproduce: signed, the same bytes as the rebuild with its signature: $file"
  else
    echo "reproduce: DIFFERENT once signed: $file"
    status=1
  fi
done
echo "reproduce: $(( SECONDS - started )) s"
exit "$status"
