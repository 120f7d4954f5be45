#!/usr/bin/env bash
# The main job: builds both Windows builds, registers the bundled 64-bit sample COM server with
# the 64-bit Pellory under Wine, shows the balloon and proves from the registry that the sample is
# registered.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
. scripts/wine-env.sh
wine_host
windows_builds

# On the user's own display when there is one; otherwise on Xvfb, with a screenshot.
[ -n "${DISPLAY:-}" ] && export PELLORY_KEEP_DISPLAY=1
trap wine_env_down EXIT
trap 'exit 143' INT TERM
wine_env_up build

clsid='{1A4B2F75-D296-4C37-8646-A4B431AED98C}'
sample=$(wine winepath -w build/x86_64/bin/PellorySample.dll 2>/dev/null)
# Start from an unregistered sample, so that what the registry shows afterwards is Pellory's doing.
# The 64-bit view, whichever loader runs reg.
wine reg delete "HKCR\\CLSID\\$clsid" /f /reg:64 >/dev/null 2>&1 || true
wine reg delete 'HKCR\Pellory.Sample' /f /reg:64 >/dev/null 2>&1 || true

echo "Running: Pellory.exe /register $sample"
wine build/x86_64/bin/Pellory.exe /register "$sample" &
pellory=$!
for _ in $(seq 150); do
  xwininfo -root -tree 2>/dev/null | grep -q ' 333x67+' && break
  sleep 0.1
done
sleep 0.4
if [ -z "${PELLORY_KEEP_DISPLAY:-}" ]; then
  import -window root build/balloon.png
  echo "Screenshot of the balloon: build/balloon.png"
fi
status=0
wait "$pellory" || status=$?
echo "Pellory ended with exit status $status once its balloon closed."

echo "The registry now holds:"
wine reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /reg:64
wine reg query 'HKCR\Pellory.Sample\CLSID' /reg:64
exit "$status"
