#!/usr/bin/env bash
# Every test: both Windows builds first (the native unit tests read their program files), then
# the native unit tests under the sanitizers and the format check, then both Windows builds end
# to end under Wine on a private X display and a private Wine prefix: the 64-bit
# build everywhere, the 32-bit one where the host runs 32-bit programs. The run ends with what it
# could not run, and why. Last, a release signed with a throwaway certificate (tests/release).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
. scripts/wine-env.sh
wine_host

windows_builds

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

trap wine_env_down EXIT
trap 'exit 143' INT TERM
wine_env_up build
export PELLORY_WINE_READY=1
status=0
ctest --preset mingw-x86_64 || status=1
if [ "$PELLORY_HOST_32" = yes ]; then
  ctest --preset mingw-i686 || status=1
else
  # The 32-bit programs are still built and their imports checked.
  ctest --preset mingw-i686 --label-exclude wine || status=1
fi
# The signed release in a build folder of its own, after the suite, so that neither changes the other.
tests/release/run.sh || status=1

notes=$(cat build/x86_64/bin/not-run.txt build/i686/bin/not-run.txt 2>/dev/null || true)
if [ "$PELLORY_HOST_32" = no ]; then
  for name in $(ctest --preset mingw-i686 -N --label-regex wine | sed -n 's/^ *Test *#[0-9]*: //p'); do
    notes+=$'\n'"32-bit $name: this host runs 64-bit code only"
  done
fi
if [ -n "${notes//$'\n'/}" ]; then
  echo "Not run on this host:"
  sed '/^$/d; s/^/  /' <<<"$notes"
fi
exit $status
