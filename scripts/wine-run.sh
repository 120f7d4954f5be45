#!/usr/bin/env bash
# Runs one Windows program under Wine for a test. Inside scripts/test.sh the display and prefix
# already exist; run alone, it brings up its own and takes them down again.
# Usage: wine-run.sh [--gtest] PROGRAM [ARGS...]; with --gtest the run passes only when the
# program also says so itself, since a test driver that dies with its display may leave status 0.
set -uo pipefail
gtest=
[ "${1:-}" = --gtest ] && { gtest=1; shift; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
if [ -z "${PELLORY_WINE_READY:-}" ]; then
  root=${PELLORY_BUILD_ROOT:-$here/../build}
  trap wine_env_down EXIT
  wine_env_up "$root" || exit 1
fi
if [ -z "$gtest" ]; then
  wine "$@"
  exit $?
fi
out=$(mktemp)
wine "$@" 2>&1 | tee "$out"
rc=${PIPESTATUS[0]}
grep -q '^\[  PASSED  \]' "$out" || { echo "wine-run: the driver never said it passed" >&2; rc=1; }
rm -f "$out"
exit $rc
