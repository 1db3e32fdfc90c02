#!/usr/bin/env bash
# A removal run of the real usbinst.exe under Wine on the registry of a real
# PC: HKLM\SYSTEM of a Windows XP SP3 or 7 SP1 machine of the real-world
# corpus (hivexregedit's export, decompressed into the build folder), with the
# phone's footprint planted as an installation on that machine would have
# left it, every INF of the corpus staged as another maker's OEM INF with its
# PNF, and a stale phone device key naming one of them. Runs inside
# run-in-wine.sh --gui:
#
#   run-in-wine.sh --gui real-registry-removal.sh BUILD_DIR EXPORT INF_FOLDER VERSION
#
# BUILD_DIR holds usbinst.exe, answer_dialogs.exe, removal_footprint.exe and
# real_machine.exe; VERSION is winxp-sp3 or win7. Passes when every key and
# value of the real machine is as the export has it before the footprint is
# planted and after the removal, every staged file is there byte for byte,
# the footprint is gone, and the run ends with 0 and no dialog. Exit code 77
# (skipped) when the export or the INF folder is absent.
#
# Wine differences, and how the prefix stands in for the real machine:
# - The real ControlSet001 and ControlSet002 are imported under their own
#   names, beside Wine's CurrentControlSet, which stays Wine's own set and is
#   no link to ControlSet001 as Select\Current (1) says on the real machine:
#   Wine cannot load Windows' class installer DLLs (a class key naming
#   MsPorts.Dll aborts SetupDiCallClassInstaller), nor run Windows' services
#   and drivers, and its Setup API and display driver rewrite values of the
#   live set (ClassGUID in upper case, the Display and Monitor class keys).
#   The removal reads ControlSet001, ControlSet002 and CurrentControlSet by
#   path, so it walks the real sets as on Windows.
# - The footprint is therefore planted twice: in the real sets as registry
#   keys (device, driver and interface keys, the modem's COM number in the
#   machine's ComDB, in the backup set the service keys), and in Wine's live
#   set through the Setup API and the service manager (removal_footprint.exe
#   plant), which see only the live set.
# - SYSTEM\MountedDevices is left out: Wine's mount manager writes it anew at
#   every start (real_machine.exe says so in its output).
# - Wine's prefix has a SYSTEM\Select of its own (Current 1, as both real
#   machines have it); the real machine's values are written over it.
# - The registry is written with NtSetValueKey, byte for byte:
#   RegSetValueExW (Windows' as Wine's) adds a NUL to string data that ends
#   without one, and the real machines hold such values.
set -u -o pipefail

build=$1 export_file=$2 infs=$3 version=$4
wine=$USBINST_WINE_LOADER
export WINEDEBUG=-all
started=$(date +%s)

step() { echo "== $*"; }
fail() {
  echo "FAILED ($version): $*" >&2
  exit 1
}
windows_path() { echo "Z:${1//\//\\}"; }

if [ ! -f "$export_file" ]; then
  echo "skipped: $export_file is absent (the real-world corpus's registries, or xz, were missing at build time)"
  exit 77
fi
if [ ! -d "$infs" ]; then
  echo "skipped: the real-world corpus's INF folder $infs is absent"
  exit 77
fi
case $version in
  winxp-sp3) machine="Windows XP SP3" ;;
  win7) machine="Windows 7 SP1" ;;
  *) echo "real-registry-removal: unknown version $version" >&2; exit 2 ;;
esac
reg_file=$(windows_path "$export_file")
inf_folder=$(windows_path "$infs")
phone_inf=oem20.inf
sets=(--set 'SYSTEM\ControlSet001' --set 'SYSTEM\ControlSet002')
footprint() { "$wine" "$build/removal_footprint.exe" --inf "$phone_inf" "$@"; }
real() { "$wine" "$build/real_machine.exe" "$@"; }

"$USBINST_WINESERVER" -p 2>/dev/null
if [ "$version" = winxp-sp3 ]; then
  for program in usbinst.exe removal_footprint.exe real_machine.exe; do
    "$wine" reg add "HKCU\\Software\\Wine\\AppDefaults\\$program" /v Version /t REG_SZ \
      /d winxp /f >/dev/null || fail "cannot present XP to $program"
  done
fi

step "$machine: the real machine's HKLM\\SYSTEM into the prefix"
real import "$reg_file" | tee "$WINEPREFIX/import.txt" || fail "the import"
# The tool reads the export for the import and for every check alike; the
# keys and values counted here by other means show that it read them all.
expected=$(awk '/^\[/ { left = ($0 == "[HKEY_LOCAL_MACHINE\\SYSTEM\\MountedDevices]"); keys += !left; next }
                /^["@]/ { values += !left } END { print keys + 0, values + 0 }' "$export_file")
imported=$(sed -n 's/^real_machine: imported \([0-9]*\) keys .* and \([0-9]*\) values .*/\1 \2/p' \
  "$WINEPREFIX/import.txt")
[ "$imported" = "$expected" ] ||
  fail "the export holds $expected keys and values outside SYSTEM\\MountedDevices, the tool imported '$imported'"
# Wine then starts from its registry files, as on the next boot of the prefix:
# its services, mount manager and display driver run on the imported machine.
"$USBINST_WINESERVER" -k 2>/dev/null
timeout 60 "$USBINST_WINESERVER" -w 2>/dev/null
"$USBINST_WINESERVER" -p 2>/dev/null
step "before: the real machine's keys and values as the export has them"
real check "$reg_file" | tee "$WINEPREFIX/before.txt" || fail "the imported machine differs from its export"

step "the machine's own OEM INF files and the corpus, as other makers' OEM INFs"
real stage "$reg_file" "$inf_folder" | tee "$WINEPREFIX/stage.txt" || fail "staging the INF files"
step "the phone's footprint: the live set, the real sets, a stale device naming oem40.inf"
footprint plant || fail "planting in the live set"
footprint plant-set 'SYSTEM\ControlSet001' || fail "planting in ControlSet001"
footprint plant-set 'SYSTEM\ControlSet002' || fail "planting in ControlSet002"
footprint stale 'SYSTEM\ControlSet001' oem40.inf || fail "planting the stale device"

step "removal run: usbinst.exe /r, any dialog fails it"
"$wine" "$build/answer_dialogs.exe" --no-dialog 120 usbinst.exe /r ||
  fail "the removal run showed a dialog or did not end with 0"

step "after: the footprint is gone"
footprint "${sets[@]}" check || fail "the footprint is not gone or a neighbour was touched"
step "after: the real machine's keys and values as the export has them"
real check "$reg_file" | tee "$WINEPREFIX/after.txt" || fail "the removal changed the real machine"
step "after: every staged file byte for byte"
real check-files | tee "$WINEPREFIX/files.txt" || fail "a staged file changed"

counts=$(sed -n 's/^real_machine: \([0-9]*\) real keys and \([0-9]*\) real values checked.*/\1 \2/p' \
  "$WINEPREFIX/after.txt")
files=$(sed -n 's/^real_machine: \([0-9]*\) staged files checked.*/\1/p' "$WINEPREFIX/files.txt")
read -r keys values <<<"$counts"
echo "[real registry under Wine] $machine: $keys real keys and $values real values protected," \
  "$files INF and PNF files protected (corpus and the machine's own), in $(($(date +%s) - started)) s"
