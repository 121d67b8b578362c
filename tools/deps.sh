#!/usr/bin/env bash
# Installs the Debian packages the build, the product run and the tests need.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  cmake ninja-build g++ make python3
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  xvfb xauth imagemagick x11-utils
  clang-format
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "deps: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# wine64 alone is enough for the win64 tree; Debian names its loader differently
# depending on which wine packages are present.
if ! command -v wine >/dev/null 2>&1 && [ -x /usr/lib/wine/wine64 ]; then
  echo "deps: wine loader missing from PATH" >&2
  exit 1
fi
