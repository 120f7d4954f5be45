#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages; quick when all is there.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  stale=1
fi

for p in cmake ninja-build g++ clang libclang-rt-14-dev googletest clang-format \
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 \
  mingw-w64-tools wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick nsis; do
  have "$p" || need+=("$p")
done

if ((${#need[@]})); then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: missing packages (${need[*]}); run as root to install them" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
elif [ -n "${stale:-}" ]; then
  apt-get update -qq
fi
