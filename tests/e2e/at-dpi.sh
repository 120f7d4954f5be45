#!/usr/bin/env bash
# Runs the driver's DPI test at 120, 144 and 192 DPI (the whole suite runs it at 96). Wine reads
# the logical DPI when it starts, so the prefix's LogPixels is set while Wine is down, and 96 is
# put back at the end for every other test.
# Usage: at-dpi.sh E2E_EXE
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
set_dpi() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}
finish() {
  [ -z "${changed:-}" ] || set_dpi 96
  [ -n "${PELLORY_WINE_READY:-}" ] || wine_env_down
}
trap finish EXIT
if [ -z "${PELLORY_WINE_READY:-}" ]; then
  wine_env_up "${PELLORY_BUILD_ROOT:-$root/build}" || exit 1
fi

rc=0
for dpi in 120 144 192; do
  changed=1
  set_dpi "$dpi"
  echo "== $dpi DPI"
  out=$(mktemp)
  wine "$1" --gtest_color=no --gtest_filter=Balloon.ScaledToTheScreenDpi 2>&1 | tee "$out"
  [ "${PIPESTATUS[0]}" = 0 ] || rc=1
  # Passed only when the driver says so: one that dies with its display may still end with 0.
  grep -q '^\[  PASSED  \] 1 test' "$out" || rc=1
  rm -f "$out"
done
exit $rc
