#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build, run and test Tovalen.
# Idempotent: packages already present are not touched and nothing is printed for them.
set -euo pipefail

packages=(
  cmake ninja-build python3
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64
  xvfb xdotool x11-utils imagemagick
  googletest nlohmann-json3-dev
  msitools wixl zip osslsigncode openssl
  clang libclang-rt-14-dev llvm-14 clang-tidy-14
  softhsm2 libengine-pkcs11-openssl
  python3-olefile python3-jsonschema diffoscope-minimal
)
# npm comes with some builds of Node.js; Debian's own is taken only where none is there.
if ! command -v npm >/dev/null; then packages+=(npm); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# CycloneDX's published JSON schemas, which the test of the bill of materials validates against.
cyclonedx=@cyclonedx/cyclonedx-library@10.3.0
if [[ ! -f "$(npm root -g)/@cyclonedx/cyclonedx-library/res/schema/bom-1.6.SNAPSHOT.schema.json" ]]; then
  echo "setup: installing $cyclonedx"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" npm install -g --omit=optional --ignore-scripts --no-audit --no-fund "$cyclonedx" >/dev/null
fi
