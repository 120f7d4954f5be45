#!/usr/bin/env bash
# Builds the command-line fuzzer natively with clang (libFuzzer, ASan, UBSan) and runs it from
# the committed seeds for SECONDS. New inputs go to BUILD_DIR/corpus, a failing one to BUILD_DIR.
# Usage: tests/fuzz/run.sh [SECONDS [BUILD_DIR]]    (CI: 25 s; by hand, e.g. 3600)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
seconds=${1:-25}
out=${2:-$top/build/fuzz}
mkdir -p "$out/corpus"

sources=("$here/modMain_fuzz.cpp" "$top/frontend/modMain.cpp" "$top/balloon/tipDesign.cpp")
fuzzer="$out/modMain_fuzz"
stale=0
for f in "${sources[@]}" "$top/frontend/modMain.h" "$top/balloon/tipDesign.h" \
  "$top/tests/unit/fake_platform.h" "$0"; do
  [ "$f" -nt "$fuzzer" ] && stale=1
done
if [ "$stale" = 1 ] || [ ! -x "$fuzzer" ]; then
  clang++ -std=c++20 -O1 -g -Wall -Wextra -Werror -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$top" \
    "${sources[@]}" -o "$fuzzer"
fi

# New inputs go to the first folder, so the committed seeds stay as they are.
exec "$fuzzer" -max_total_time="$seconds" -timeout=5 -max_len=4096 -dict="$here/modMain.dict" \
  -artifact_prefix="$out/" -print_final_stats=1 "$out/corpus" "$here/corpus"
