#!/usr/bin/env bash
# Installs what building, running and testing Tallowmere need on Debian 12, only what is
# missing. Runs as root (or through sudo when there is one).
set -euo pipefail

packages=(
  cmake ninja-build                                   # build
  g++ clang libclang-rt-14-dev googletest             # native build: tests with sanitizers
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools  # Windows cross build
  wine wine64                                         # run tallowmere.exe and the Windows tests
  xvfb xauth x11-utils                                # a display of their own for the tests
  x11-apps netpbm                                     # scripts/screenshot.sh: xwd, xwdtopnm, pnmtopng
  libfuse3-dev fuse3 pkg-config                       # bench: a slow volume of its own (FUSE)
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: need root to install: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y "${missing[@]}"
