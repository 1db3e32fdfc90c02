#!/usr/bin/env bash
# Fails unless each shipped program is stripped and its debug information is
# kept beside it as it must be to read a crash address a user reports:
#
#   check-debug-split.sh objdump addr2line nm SOURCE_DIR program.exe...
#
# - the program holds no DWARF section and no symbol table;
# - its .gnu_debuglink section names a file that lies beside it (NAME.debug,
#   NAME the name it ships with: usbinst64.exe.debug for the 64-bit program,
#   which the windows-x64 preset tests as usbinst.exe), with that file's
#   CRC-32;
# - the debug file turns the address of the program's entry function (WinMain,
#   or main for a console program) into that function in a source file of
#   SOURCE_DIR, with a line number.
set -u
objdump=$1 addr2line=$2 nm=$3 source_dir=$4
shift 4

# The CRC-32 gzip keeps in its trailer (little-endian) is the one the debug
# link holds: written as 8 hexadecimal digits in the file's byte order.
crc_of() { gzip -c <"$1" | tail -c8 | head -c4 | od -An -tx1 | tr -d ' \n'; }

# objcopy beside objdump, from the same binutils.
objcopy=${objdump%objdump}objcopy
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for program in "$@"; do
  name=$(basename "$program")
  bad() { echo "FAIL $name: $*"; status=1; }
  sections=$("$objdump" -h "$program") || { bad "objdump could not read it"; continue; }
  dwarf=$(echo "$sections" | awk '$2 ~ /^\.debug_/ { print $2 }' | paste -sd' ')
  [ -z "$dwarf" ] || bad "still holds $dwarf"
  "$objdump" -p "$program" | grep -q 'symbols stripped' || bad "still holds its symbol table"
  # The link: the file name, a zero, padding to 4 bytes, the CRC-32.
  rm -f "$work/link" "$work/out"
  "$objcopy" --dump-section .gnu_debuglink="$work/link" "$program" "$work/out" 2>/dev/null &&
    [ -s "$work/link" ] || { bad "no .gnu_debuglink section"; continue; }
  linked=$(tr '\0' '\n' <"$work/link" | head -1)
  [[ $linked == *.exe.debug && $linked != */* ]] ||
    { bad "the debug link names no debug file ($linked)"; continue; }
  link_crc=$(tail -c4 "$work/link" | od -An -tx1 | tr -d ' \n')
  debug=$(dirname "$program")/$linked
  [ -f "$debug" ] || { bad "$linked is not beside it"; continue; }
  crc=$(crc_of "$debug")
  [ "$link_crc" = "$crc" ] || bad "the debug link's CRC $link_crc is not $linked's ($crc)"
  # 32-bit symbols carry a leading underscore (and WinMain its @16).
  entry=WinMain
  "$nm" "$debug" | grep -Eq ' T _?WinMain(@16)?$' || entry=main
  address=$("$nm" "$debug" |
            awk -v f="$entry" '$2 == "T" && $3 ~ ("^_?" f "(@16)?$") { print $1; exit }')
  [ -n "$address" ] || { bad "$linked has no symbol $entry"; continue; }
  where=$("$addr2line" -f -e "$debug" "0x$address" | paste -sd' ')
  case $where in
    "$entry"*" $source_dir/"*:[0-9]*)
      echo "ok   $name: stripped, $entry at 0x$address is ${where#* } ($linked)" ;;
    *) bad "$linked does not place $entry in the sources: $where" ;;
  esac
done
exit $status
