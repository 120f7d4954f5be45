#!/usr/bin/env bash
# Remakes the program-file fuzzer's seeds in tests/fuzz/programFile-corpus from seed.c: the same
# tiny library as PE32+ and PE32 (a few KB each), then copies cut and changed:
#   seed64.dll, seed32.dll     imports by name and by ordinal, one delay-loaded library, exports
#                              by name, by ordinal only and forwarded, a manifest resource
#   seed32-olddelay.dll        its delay-import descriptor in the first form (virtual addresses)
#   seed64-clr.dll             a .NET header entry
#   seed64-cut.dll, seed32-cut.dll   the first bytes only (a cut download)
# ld writes no delay-import directory entry: it is set here to dlltool's descriptor.
# Usage: tests/fuzz/programFile-seeds/make.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/../programFile-corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$here"

get32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
put32() {
  local v=$3
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $((v >> 8 & 255)) \
    $((v >> 16 & 255)) $((v >> 24 & 255)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
# The file offset of RVA in FILE, by its sections (objdump -h: name size vma lma offset).
offset_of() {
  local file=$1 rva=$2 base=$3 index name size va lma offset rest
  while read -r index name size va lma offset rest; do
    [[ $index =~ ^[0-9]+$ ]] || continue
    va=$((0x$va - base))
    if ((rva >= va && rva < va + 0x$size)); then
      echo $((0x$offset + rva - va))
      return
    fi
  done < <("$objdump" -h "$file")
  return 1
}

for bits in 64 32; do
  if [ "$bits" = 64 ]; then
    triple=x86_64-w64-mingw32 at= entry=Entry killat= directories=112
  else
    triple=i686-w64-mingw32 at=@4 entry=_Entry@12 killat=--kill-at directories=96
  fi
  objdump=$triple-objdump
  printf 'LIBRARY USER32.dll\nEXPORTS\nMessageBeep%s\n' "$at" >"$work/user32.def"
  printf 'LIBRARY OLEAUT32.dll\nEXPORTS\nSysAllocString%s @2 NONAME\n' "$at" >"$work/oleaut32.def"
  "$triple-dlltool" $killat --input-def "$work/user32.def" --dllname USER32.dll \
    --output-delaylib "$work/libuser32d.a"
  "$triple-dlltool" $killat --input-def "$work/oleaut32.def" --dllname OLEAUT32.dll \
    --output-lib "$work/liboleaut32o.a"
  "$triple-windres" -i seed.rc -o "$work/seed.res.o"
  dll=$out/seed$bits.dll
  "$triple-gcc-posix" -Os -fno-ident -fno-asynchronous-unwind-tables -shared -nostdlib \
    -Wl,--entry="$entry" -Wl,--enable-stdcall-fixup ${killat:+-Wl,$killat} -Wl,-s \
    -Wl,-Map="$work/seed.map" -o "$dll" seed.c seed.def "$work/seed.res.o" \
    "$work/libuser32d.a" "$work/liboleaut32o.a" -lkernel32

  base=$(("0x$("$objdump" -p "$dll" | awk '$1 == "ImageBase" { print $2 }')"))
  descriptor=$(($(awk '/DELAY_IMPORT_DESCRIPTOR/ { print $1 }' "$work/seed.map") - base))
  entry13=$(($(get32 "$dll" 60) + 24 + directories + 13 * 8))
  put32 "$dll" "$entry13" "$descriptor"
  put32 "$dll" $((entry13 + 4)) 32

  if [ "$bits" = 32 ]; then
    old=$out/seed32-olddelay.dll
    cp "$dll" "$old"
    at=$(offset_of "$old" "$descriptor" "$base")
    put32 "$old" "$at" 0
    for field in 4 8 12 16 20 24; do
      value=$(get32 "$old" $((at + field)))
      [ "$value" = 0 ] || put32 "$old" $((at + field)) $((value + base))
    done
    thunk=$(offset_of "$old" "$(get32 "$dll" $((at + 16)))" "$base")
    while value=$(get32 "$old" "$thunk") && [ "$value" != 0 ]; do
      ((value & 0x80000000)) || put32 "$old" "$thunk" $((value + base))
      thunk=$((thunk + 4))
    done
    head -c 448 "$dll" >"$out/seed32-cut.dll"
  else
    cp "$dll" "$out/seed64-clr.dll"
    put32 "$out/seed64-clr.dll" $((entry13 + 8)) 0x1000
    put32 "$out/seed64-clr.dll" $((entry13 + 12)) 72
    head -c 2048 "$dll" >"$out/seed64-cut.dll"
  fi
done
ls -l "$out"
