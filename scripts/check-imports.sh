#!/usr/bin/env bash
# Fails when a program imports a library that is not one of the system's known DLLs. Windows
# takes a known DLL only from the system folder; any other library a program imports would be
# looked for beside it first, so those are loaded at run time from the system folder instead.
# Pellory imports only what it needs to start its work: the window system and ADVAPI32 are
# delay-loaded, so that regsvr32 starts before they load.
# Usage: check-imports.sh OBJDUMP PROGRAM...
set -euo pipefail
objdump=$1
shift
# The KnownDLLs of Windows 7 that every later Windows still lists
# (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs).
known=' advapi32.dll clbcatq.dll comdlg32.dll difxapi.dll gdi32.dll imagehlp.dll imm32.dll
  kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ole32.dll oleaut32.dll psapi.dll
  rpcrt4.dll sechost.dll setupapi.dll shell32.dll shlwapi.dll user32.dll wldap32.dll ws2_32.dll '
status=0
for program in "$@"; do
  imports=$("$objdump" -p "$program" | awk '/DLL Name:/ { print tolower($3) }')
  if [ -z "$imports" ]; then
    echo "check-imports: no import table read from $program" >&2
    status=1
  fi
  allowed=$known
  [ "$(basename "$program")" = Pellory.exe ] && allowed=' kernel32.dll msvcrt.dll '
  for dll in $imports; do
    case $allowed in
      *[[:space:]]"$dll"[[:space:]]*) ;;
      *)
        echo "check-imports: $(basename "$program") imports $dll, which it may not import" >&2
        status=1
        ;;
    esac
  done
done
exit $status
