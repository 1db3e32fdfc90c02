#!/usr/bin/env bash
# Fails when a shipped program would not load on the oldest Windows it claims:
# every function it imports must be exported by that Windows' DLL, and the PE
# header must not ask for a newer Windows. The table of what each Windows
# version exports is tests/data/windows-imports.tsv; a function missing from it
# fails too, so that a new import is looked up before it ships. Every shipped
# program must also be marked Terminal Server aware (DllCharacteristics
# 0x8000, the linker's --tsaware): a program without the mark gets a private
# Windows folder of the user from GetWindowsDirectoryA on a Terminal Server.
# And a shipped program imports only KERNEL32, USER32, GDI32, ADVAPI32 and
# MSVCRT: an imported DLL is loaded before the program's first instruction,
# from the program's own folder first unless Windows counts it among its
# known DLLs, so every other DLL is loaded at run time from the system folder
# by full path (platform/system_library.cpp).
#
#   check-shipped-imports.sh objdump table x86|x64 [--oldest V] [--console] program.exe...
#
# x86: a 32-bit program, by default for Windows 95 and NT 4 (PE versions at
#      most 4.0).
# x64: a 64-bit program, for XP x64 / Server 2003 x64 (at most 5.2).
# --oldest V: the oldest NT version the program claims instead (5.1: XP);
#      from 5.0 on, the Windows 95 family is not claimed.
# --console: a console program (subsystem 3) instead of a GUI one (2).
# --any-dll: the program may import other system DLLs too (the removal
#      preview, a support engineer's tool, not the elevated installer).
set -u
objdump=$1 table=$2 target=$3
shift 3
case $target in
  x86) oldest_nt=4.0 needs_9x=1 is_64=0 ;;
  x64) oldest_nt=5.2 needs_9x=0 is_64=1 ;;
  *) echo "check-shipped-imports: target must be x86 or x64, not '$target'" >&2; exit 2 ;;
esac
subsystem_wanted=2 subsystem_name="Windows GUI" any_dll=0
while [ $# -gt 0 ]; do
  case $1 in
    --oldest)
      [[ ${2:-} =~ ^[0-9]+\.[0-9]$ ]] ||
        { echo "check-shipped-imports: --oldest needs a version such as 5.1" >&2; exit 2; }
      oldest_nt=$2
      awk -v v="$oldest_nt" 'BEGIN { exit !(v + 0 >= 5.0) }' && needs_9x=0
      shift 2 ;;
    --console) subsystem_wanted=3 subsystem_name="Windows console"; shift ;;
    --any-dll) any_dll=1; shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "check-shipped-imports: no program to check" >&2; exit 2; }
[ -r "$table" ] || { echo "check-shipped-imports: no table at $table" >&2; exit 2; }

status=0
for program in "$@"; do
  name=$(basename "$program")
  if ! dump=$("$objdump" -p "$program"); then
    echo "FAIL $name: objdump could not read it"
    status=1
    continue
  fi
  # The header: operating-system and subsystem versions, and the GUI subsystem.
  echo "$dump" | awk -v name="$name" -v oldest="$oldest_nt" -v wanted="$subsystem_wanted" \
    -v wanted_name="$subsystem_name" '
    /^MajorOSystemVersion/ { os_major = $2 } /^MinorOSystemVersion/ { os_minor = $2 }
    /^MajorSubsystemVersion/ { sub_major = $2 } /^MinorSubsystemVersion/ { sub_minor = $2 }
    /^Subsystem/ { subsystem = $2 + 0 }
    END {
      bad = 0
      if (os_major "" == "" || sub_major "" == "") { print "FAIL " name ": no PE header versions"; exit 1 }
      os = os_major + os_minor / 10; subsystem_version = sub_major + sub_minor / 10
      if (os > oldest + 0) { print "FAIL " name ": operating-system version " os_major "." os_minor " is above " oldest; bad = 1 }
      if (subsystem_version > oldest + 0) { print "FAIL " name ": subsystem version " sub_major "." sub_minor " is above " oldest; bad = 1 }
      if (subsystem != wanted) { print "FAIL " name ": subsystem " subsystem " is not the " wanted_name " (" wanted ")"; bad = 1 }
      if (!bad) print "ok   " name ": PE versions " os_major "." os_minor " / " sub_major "." sub_minor
      exit bad
    }' || status=1
  # The Terminal Server mark.
  characteristics=$(echo "$dump" | awk '/^DllCharacteristics/ { print $2; exit }')
  if [[ ! $characteristics =~ ^[0-9a-fA-F]+$ ]]; then
    echo "FAIL $name: no DllCharacteristics in the PE header"
    status=1
  elif (((16#$characteristics & 0x8000) == 0)); then
    echo "FAIL $name: not Terminal Server aware (DllCharacteristics 0x$characteristics lacks 0x8000)"
    status=1
  else
    echo "ok   $name: Terminal Server aware (DllCharacteristics 0x$characteristics)"
  fi
  # The imported DLLs.
  if [ "$any_dll" = 0 ]; then
    others=$(echo "$dump" | awk '/DLL Name:/ { print toupper($3) }' |
      grep -vxE 'KERNEL32.DLL|USER32.DLL|GDI32.DLL|ADVAPI32.DLL|MSVCRT.DLL' | tr '\n' ' ')
    if [ -n "$others" ]; then
      echo "FAIL $name: imports ${others% }: load it by full path at run time instead"
      status=1
    else
      echo "ok   $name: imports only KERNEL32, USER32, GDI32, ADVAPI32 and MSVCRT"
    fi
  fi
  # Every imported function against the table.
  echo "$dump" | awk -v name="$name" -v oldest="$oldest_nt" -v needs9x="$needs_9x" -v is64="$is_64" -F'\t' '
    FNR == NR {
      if ($0 ~ /^#/ || NF < 5) next
      win9x[toupper($1) "!" $2] = $3; nt[toupper($1) "!" $2] = $4
      if ($5 ~ /i386 ONLY/) only32[toupper($1) "!" $2] = 1
      next
    }
    /DLL Name:/ { dll = toupper($0); sub(/.*DLL NAME: */, "", dll); imports_seen = 1; next }
    dll != "" && /^\t[0-9a-f]+\t *[0-9]+ +[^ ]+$/ {
      line = $0; sub(/^\t[0-9a-f]+\t */, "", line); split(line, part, " ")
      function_name = part[2]; key = dll "!" function_name; count++
      if (!(key in nt)) { print "FAIL " name ": " dll " " function_name " is not in the table: look up which Windows first exports it"; bad = 1; next }
      if (nt[key] == "-" || nt[key] + 0 > oldest + 0) { print "FAIL " name ": " dll " " function_name " first in NT " nt[key] ", the program claims " oldest; bad = 1 }
      if (is64 && (key in only32)) { print "FAIL " name ": " dll " " function_name " is exported by the 32-bit DLL only"; bad = 1 }
      if (needs9x && win9x[key] != "95") { print "FAIL " name ": " dll " " function_name " is not exported by Windows 95 (first 9x: " win9x[key] ")"; bad = 1 }
      next
    }
    dll != "" && /^\t[0-9a-f]+\t/ { print "FAIL " name ": " dll " import not by name: " $0; bad = 1 }
    /^$/ { }
    END {
      if (!imports_seen) { print "FAIL " name ": no imports found"; exit 1 }
      if (!bad) print "ok   " name ": " count " imported functions, all exported by the oldest Windows it claims"
      exit bad
    }' "$table" - || status=1
done
exit $status
