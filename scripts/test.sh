#!/usr/bin/env bash
# Every test: native unit tests under the sanitizers and the format check, then both Windows
# builds end to end under Wine on a private X display and a private Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

for preset in mingw-i686 mingw-x86_64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

. scripts/wine-env.sh
trap wine_env_down EXIT
trap 'exit 143' INT TERM
wine_env_up build
export PELLORY_WINE_READY=1
ctest --preset mingw-i686
ctest --preset mingw-x86_64
