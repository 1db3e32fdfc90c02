#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that Windows does not ship:
# the program must start from the CD on a bare system, so the C++ run-time,
# libgcc and winpthread are linked in statically.
#
#   check-imports.sh objdump program.exe...
set -u
objdump=$1
shift

# DLLs that are part of every supported Windows (names in upper case).
allowed=" KERNEL32.DLL USER32.DLL GDI32.DLL ADVAPI32.DLL SETUPAPI.DLL COMCTL32.DLL VERSION.DLL
  MSVCRT.DLL SHELL32.DLL OLE32.DLL OLEAUT32.DLL SHLWAPI.DLL COMDLG32.DLL CFGMGR32.DLL NEWDEV.DLL
  WS2_32.DLL RPCRT4.DLL NTDLL.DLL"
allowed=" $(echo $allowed) "

status=0
for program in "$@"; do
  if ! dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p'); then
    echo "FAIL $program: objdump could not read it"
    status=1
    continue
  fi
  [ -n "$dlls" ] || { echo "FAIL $program: no imports found"; status=1; continue; }
  for dll in $dlls; do
    upper=$(echo "$dll" | tr '[:lower:]' '[:upper:]')
    case $allowed in
      *" $upper "*) echo "ok   $(basename "$program"): $dll" ;;
      *) echo "FAIL $(basename "$program"): imports $dll, which is not a system DLL"; status=1 ;;
    esac
  done
done
exit $status
