#!/usr/bin/env bash
# Builds a fuzz target natively with clang (libFuzzer, ASan, UBSan) and runs it from its
# committed seeds for SECONDS. New inputs go to BUILD_DIR/TARGET-corpus, a failing one to
# BUILD_DIR/TARGET-crash-*.
#   modMain       the command line and the start-up decision (seeds: tests/fuzz/corpus)
#   programFile   the reader of program files (seeds: tests/fuzz/programFile-corpus)
#   itemList      the reader of the shell's item list (seeds: tests/fuzz/itemList-corpus; one,
#                 wine-three-files, as the e2e driver builds it under Wine for three files)
# Usage: tests/fuzz/run.sh [TARGET [SECONDS [BUILD_DIR]]]   (CI: 20 s each; by hand, e.g. 3600)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
target=${1:-modMain}
seconds=${2:-25}
out=${3:-$top/build/fuzz}

case $target in
  modMain)
    sources=("$here/modMain_fuzz.cpp" "$top/frontend/modMain.cpp" "$top/frontend/reports.cpp"
      "$top/frontend/diagnosis.cpp" "$top/frontend/paths.cpp"
      "$top/frontend/programFile.cpp" "$top/balloon/tipDesign.cpp")
    headers=("$top/frontend/modMain.h" "$top/frontend/reports.h" "$top/frontend/action.h"
      "$top/frontend/diagnosis.h" "$top/frontend/paths.h"
      "$top/balloon/tipDesign.h"
      "$top/tests/unit/fake_platform.h")
    seeds=$here/corpus
    options=(-max_len=4096 -dict="$here/modMain.dict")
    ;;
  programFile)
    sources=("$here/programFile_fuzz.cpp" "$top/frontend/programFile.cpp")
    headers=("$top/frontend/programFile.h")
    seeds=$here/programFile-corpus
    options=(-max_len=8192)
    ;;
  itemList)
    sources=("$here/itemList_fuzz.cpp" "$top/frontend/itemList.cpp")
    headers=("$top/frontend/itemList.h")
    seeds=$here/itemList-corpus
    options=(-max_len=4096)
    ;;
  *)
    echo "run.sh: no fuzz target $target (modMain, programFile, itemList)" >&2
    exit 2
    ;;
esac
mkdir -p "$out/$target-corpus"

fuzzer="$out/${target}_fuzz"
stale=0
for f in "${sources[@]}" "${headers[@]}" "$0"; do
  [ "$f" -nt "$fuzzer" ] && stale=1
done
if [ "$stale" = 1 ] || [ ! -x "$fuzzer" ]; then
  clang++ -std=c++20 -O1 -g -Wall -Wextra -Werror -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$top" \
    "${sources[@]}" -o "$fuzzer"
fi

# New inputs go to the first folder, so the committed seeds stay as they are.
exec "$fuzzer" -max_total_time="$seconds" -timeout=5 "${options[@]}" \
  -artifact_prefix="$out/$target-" -print_final_stats=1 "$out/$target-corpus" "$seeds"
