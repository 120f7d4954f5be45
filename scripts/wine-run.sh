#!/usr/bin/env bash
# Runs one Windows program under Wine for a test. Inside scripts/test.sh the display and prefix
# already exist; run alone, it brings up its own and takes them down again.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
if [ -z "${PELLORY_WINE_READY:-}" ]; then
  root=${PELLORY_BUILD_ROOT:-$here/../build}
  trap wine_env_down EXIT
  wine_env_up "$root" || exit 1
fi
wine "$@"
rc=$?
exit $rc
