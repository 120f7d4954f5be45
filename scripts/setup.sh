#!/usr/bin/env bash
# Installs from Debian 12's packages everything the scripts, the build and the tests use, then
# checks that each program and file they rely on is there; quick when all is there.
# With --needs it only prints its three lists (scripts/check-setup.sh compares them with what
# the scripts use).
set -euo pipefail

packages=(
  git procps cmake ninja-build g++ clang libclang-rt-14-dev googletest clang-format
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
  binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils imagemagick nsis wixl msitools
  osslsigncode openssl zip unzip
)
# What the scripts and the build run by name.
programs=(
  git free cmake ctest ninja clang++ clang-format i686-w64-mingw32-gcc-posix
  x86_64-w64-mingw32-gcc-posix i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix
  i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump i686-w64-mingw32-nm x86_64-w64-mingw32-nm
  i686-w64-mingw32-dlltool x86_64-w64-mingw32-dlltool i686-w64-mingw32-objcopy
  i686-w64-mingw32-windres x86_64-w64-mingw32-windres i686-w64-mingw32-widl
  x86_64-w64-mingw32-widl makensis wixl msibuild msiinfo msidump msiextract osslsigncode openssl zip unzip
  wine wineboot wineserver winepath Xvfb
  xwininfo import
)
# What they read or run by path. The fonts are copied into each Wine prefix; /usr/lib/wine/wine
# and wine64 are Wine's 32- and 64-bit loaders (a host that runs 64-bit code only gets the first
# installed but cannot run it); NSIS's amd64 stubs make the 64-bit setup program.
files=(
  /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma.ttf
  /usr/share/wine/fonts/tahomabd.ttf /usr/share/wine/fonts/ms_sans_serif.ttf
  /usr/lib/wine/wine /usr/lib/wine/wine64 /usr/share/nsis/Stubs/lzma_solid-amd64-unicode
  /usr/share/nsis/Plugins/amd64-unicode/System.dll /usr/bin/import /usr/src/googletest/CMakeLists.txt
  /usr/i686-w64-mingw32/include/windows.h /usr/x86_64-w64-mingw32/include/windows.h
  /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a
)

if [ "${1:-}" = --needs ]; then
  printf 'package %s\n' "${packages[@]}"
  printf 'program %s\n' "${programs[@]}"
  printf 'file %s\n' "${files[@]}"
  exit 0
fi

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: the i386 architecture is not enabled; run as root to enable it" >&2
    exit 1
  fi
  dpkg --add-architecture i386
  stale=1
fi

need=()
for p in "${packages[@]}"; do
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

missing=()
for p in "${programs[@]}"; do
  command -v "$p" >/dev/null || missing+=("$p")
done
for f in "${files[@]}"; do
  [ -e "$f" ] || missing+=("$f")
done
if ((${#missing[@]})); then
  echo "setup: still missing after installing the packages: ${missing[*]}" >&2
  exit 1
fi
