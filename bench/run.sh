#!/usr/bin/env bash
# The benchmark, run by hand: builds the programs and the bench driver, runs the driver under Wine
# in a prefix of its own and prints its figures with the machine they come from; the 64-bit build,
# then the 32-bit one where the host runs 32-bit programs.
# Usage: bench/run.sh [RUNS [OTHER.exe...]]   (20 runs by default; BENCH_BUILD=DIR measures that
# configured build alone instead; each OTHER, another build of Pellory, is timed beside it in the
# same rounds)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
others=("${@:2}")
. scripts/wine-env.sh
if [ -n "${BENCH_BUILD:-}" ]; then
  builds=("$BENCH_BUILD")
  wine_host
else
  scripts/setup.sh
  wine_host
  builds=(build/x86_64)
  [ "$PELLORY_HOST_32" = yes ] && builds+=(build/i686)
fi

trap wine_env_down EXIT
wine_env_up build/bench
echo "Date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
echo "Machine: $cpu, $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB;" \
  "Debian $(cat /etc/debian_version), Linux $(uname -r)"
echo "Wine:    $(wine --version) on Xvfb; $(x86_64-w64-mingw32-g++-posix --version | head -1)"
for build in "${builds[@]}"; do
  [ -n "${BENCH_BUILD:-}" ] || cmake --preset "mingw-${build#build/}" >/dev/null
  cmake --build "$build" --target benchdriver >/dev/null
  bin=$build/bin
  echo
  echo "== $build"
  windows_others=()
  for other in "${others[@]}"; do windows_others+=("$(wine winepath -w "$(realpath "$other")")"); done
  wine "$bin/benchdriver.exe" "$runs" "${windows_others[@]}"
  # Statically linked: nothing but system DLLs may be imported.
  for exe in Pellory Brannock; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$bin/$exe.exe" | awk '/DLL Name:/ {print $3}' | sort -uf)
    echo "$exe.exe imports: $(echo $dlls)"
    if grep -qiE 'libstdc|libgcc|pthread|mingw' <<<"$dlls"; then
      echo "  not statically linked" >&2
      exit 1
    fi
  done
done
