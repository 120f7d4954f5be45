#!/usr/bin/env bash
# The benchmark, run by hand: builds the 32-bit programs and the bench driver, runs the driver
# under Wine in a prefix of its own and prints its figures with the machine they come from.
# Usage: bench/run.sh [RUNS]   (20 by default; BENCH_BUILD=DIR uses that configured build instead
# of the mingw-i686 preset's)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
if [ -n "${BENCH_BUILD:-}" ]; then
  build=$BENCH_BUILD
else
  scripts/setup.sh
  cmake --preset mingw-i686 >/dev/null
  build=build/i686
fi
cmake --build "$build" --target benchdriver >/dev/null
bin=$build/bin

. scripts/wine-env.sh
trap wine_env_down EXIT
wine_env_up "$build/bench-prefix"

echo "Date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
echo "Machine: $cpu, $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB;" \
  "Debian $(cat /etc/debian_version), Linux $(uname -r)"
echo "Wine:    $(wine --version) on Xvfb; $(i686-w64-mingw32-g++-posix --version | head -1)"
echo
wine "$bin/benchdriver.exe" "$runs"
echo
# Statically linked: nothing but system DLLs may be imported.
for exe in Pellory Brannock; do
  dlls=$(i686-w64-mingw32-objdump -p "$bin/$exe.exe" | awk '/DLL Name:/ {print $3}' | sort -uf)
  echo "$exe.exe imports: $(echo $dlls)"
  if grep -qiE 'libstdc|libgcc|pthread|mingw' <<<"$dlls"; then
    echo "  not statically linked" >&2
    exit 1
  fi
done
