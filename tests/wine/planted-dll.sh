#!/usr/bin/env bash
# A DLL planted beside usbinst.exe never runs: a stranger's DLL
# (planted_dll.dll, which leaves a mark when loaded) lies in the CD's Setup
# folder as setupapi.dll and comctl32.dll, and Wine is told to
# prefer a native DLL of those names (WINEDLLOVERRIDES "n,b"), as Windows
# takes a file from the program's folder first. Runs inside run-in-wine.sh:
#
#   run-in-wine.sh --gui planted-dll.sh BUILD_DIR CD_DIR
#
# BUILD_DIR holds usbinst.exe, answer_dialogs.exe, dll_search_probe.exe and
# planted_dll.dll; CD_DIR is the driver CD (Setup\ and Drivers\).
#  1. The control: dll_search_probe.exe, beside the DLLs, loads each name as
#     the program once did (LoadLibraryA with the bare name); every planted
#     DLL must leave its mark, or the test could not see a planted load.
#  2. A removal run (/r) and an installation run (no switch; the driver-
#     signing notice is answered and the wizard cancelled), started in the
#     Setup folder, which is also the current folder: no planted DLL may be
#     loaded by usbinst.exe.
# version.dll, which the program loads the same way, is not planted here:
# Wine's own user32.dll imports it (Windows' does not), so Wine's loader
# takes a version.dll beside any program that imports user32 before the
# program's first instruction, answer_dialogs.exe included. That the program
# imports nothing but known DLLs is the import check's (shipped_imports).
set -u

build=$1 cd_source=$2
wine=$USBINST_WINE_LOADER
export WINEDEBUG=-all
names=(setupapi.dll comctl32.dll)
export WINEDLLOVERRIDES="mscoree,mshtml=;setupapi,comctl32=n,b"
cd_root=$WINEPREFIX/drive_c/cd
setup=$cd_root/Setup

step() { echo "== $*"; }
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
marks_of() { (cd "$setup" && ls -- *."$1".loaded 2>/dev/null); }

step "the CD with a stranger's DLL beside the program, as ${names[*]}"
mkdir -p "$cd_root"
cp -r "$cd_source/." "$cd_root/" || fail "cannot copy the CD"
cp "$build/usbinst.exe" "$build/answer_dialogs.exe" "$build/dll_search_probe.exe" "$setup/" ||
  fail "missing programs in $build"
for name in "${names[@]}"; do
  cp "$build/planted_dll.dll" "$setup/$name" || fail "no planted_dll.dll in $build"
done
"$USBINST_WINESERVER" -p 2>/dev/null

step "control: a bare-name LoadLibraryA from the Setup folder loads the planted DLLs"
(cd "$setup" && "$wine" 'C:\cd\Setup\dll_search_probe.exe' "${names[@]}")
for name in "${names[@]}"; do
  [ -f "$setup/$name.dll_search_probe.exe.loaded" ] ||
    fail "control: Wine did not load the planted $name for a bare name; the test cannot show anything"
done
echo "   the planted ${names[*]} were loaded by the probe"

run() {
  local what=$1
  shift
  step "$what: usbinst.exe $*"
  local output status
  output=$(cd "$setup" && "$wine" 'C:\cd\Setup\answer_dialogs.exe' 120 usbinst.exe "$@")
  status=$?
  [ -n "$output" ] && echo "$output"
  [ "$status" = 0 ] || fail "$what ended with exit code $status"
  local loaded
  loaded=$(marks_of usbinst.exe)
  [ -z "$loaded" ] || fail "$what loaded planted DLLs: $loaded"
  echo "   $what loaded none of the planted DLLs"
}
run "removal run" /r
run "installation run"
"$USBINST_WINESERVER" -k 2>/dev/null
exit 0
