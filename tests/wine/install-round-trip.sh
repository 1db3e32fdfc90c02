#!/usr/bin/env bash
# An installation run of the real usbinst.exe under Wine, from the driver CD, with
# the phone plugged in step by step: the scenario of a user at a Windows XP
# machine. Runs inside run-in-wine.sh (which makes the prefix and the X session):
#
#   run-in-wine.sh --gui install-round-trip.sh BUILD_DIR CD_DIR SHOT_DIR SCENARIO...
#
# BUILD_DIR holds usbinst.exe, phone_simulator.exe and dialog_driver.exe; CD_DIR
# the driver CD (Setup\mdmsetup.ini and Drivers\); screenshots go to SHOT_DIR.
# Scenarios, run in this order in the same prefix:
#   switch       /i: notice, wizard, plug in function by function, Next; exit 0 and
#                "InstallFlag" = 1
#   no-switch    no switch: the same round trip; "InstallFlag" stays absent
#   second       a second instance during the wizard brings it to the front and ends
#   remove       a /r instance during the wizard closes it
#   legacy-shot  Windows 98: the wizard of template 101 on screen, the phone
#                plugged in the Windows 98 way, then Finish
# Each step is printed; the first failed step ends the script with exit code 1.
set -u

build=$1 cd_source=$2 shots=$3
shift 3
wine=$USBINST_WINE_LOADER
export WINEDEBUG=-all
settings_key='HKLM\SOFTWARE\ORVEX\ORVEX 3G GSM USB Driver 6'
cd_root=$WINEPREFIX/drive_c/cd
mkdir -p "$shots"

step() { echo "== $*"; }
fail() {
  echo "FAILED: $*" >&2
  [ -n "${installer:-}" ] && kill "$installer" 2>/dev/null
  exit 1
}
driver() { "$wine" "$build/dialog_driver.exe" "$@" || fail "dialog_driver $*"; }
phone() {
  "$wine" "$build/phone_simulator.exe" --package 'C:\cd\Drivers' "$@" || fail "phone_simulator $*"
}

source "$(dirname "${BASH_SOURCE[0]}")/wizard-steps.sh"
screenshot() { screenshot_into "$shots" "$1"; }

# The wizard is waiting; plug the phone in function by function and follow it.
plug_in_and_finish() {
  local label=$1
  driver expect progress=0 next=off cancel=on default=cancel
  for function in 0 1 2 3; do
    step "plugging in function $function"
    phone plug "$function"
    if [ "$function" -lt 3 ]; then
      driver expect progress=$((function + 1)) next=off cancel=on default=cancel
    else
      driver expect progress=4 next=on cancel=off default=next
    fi
  done
  screenshot "wizard-102-ready-$label"
  step "unplugging: the wizard stays ready"
  phone unplug
  driver expect progress=4 next=on cancel=off
  step "pressing Next/Finish"
  driver press next wait-gone 30
  finish_installer
}

prepare_cd() {
  rm -rf "$cd_root"
  mkdir -p "$cd_root"
  cp -r "$cd_source/." "$cd_root/"
  cp "$build/usbinst.exe" "$cd_root/Setup/"
}

"$USBINST_WINESERVER" -p 2>/dev/null
prepare_cd
harness_reg add "$settings_key" /f || fail "cannot create the settings key"

for scenario in "$@"; do
  case $scenario in
    switch)
      step "installation run with /i (Windows XP)"
      start_installer /i
      step "answering the driver-signing notice"
      driver answer-box 90 ok "text=Előfordulhat, hogy az USB meghajtó"
      driver wait-wizard 60 expect "text=Kapcsolja be a KV6 sorozat telefont"
      screenshot wizard-102-waiting
      plug_in_and_finish switch
      [ "$(flag)" = 0x1 ] || fail "InstallFlag is '$(flag)', expected 0x1"
      echo "   InstallFlag = 1"
      ;;
    no-switch)
      step "installation run without a switch"
      "$wine" reg delete "$settings_key" /v InstallFlag /f >/dev/null 2>&1
      start_installer
      driver answer-box 90 ok wait-wizard 60
      plug_in_and_finish no-switch
      [ -z "$(flag)" ] || fail "InstallFlag is '$(flag)', expected none"
      echo "   InstallFlag left alone (absent)"
      ;;
    second)
      step "a second instance while the wizard waits"
      start_installer
      driver answer-box 90 ok wait-wizard 60
      (cd "$cd_root/Setup" && "$wine" 'C:\cd\Setup\usbinst.exe') ||
        fail "the second instance ended with an error"
      echo "   the second instance ended with exit code 0"
      driver foreground expect progress=0 cancel=on
      driver press cancel wait-gone 30
      finish_installer
      ;;
    remove)
      step "a removal run while the wizard waits"
      start_installer
      driver answer-box 90 ok wait-wizard 60
      (cd "$cd_root/Setup" && "$wine" 'C:\cd\Setup\usbinst.exe' /r) ||
        fail "the removal run ended with an error"
      driver wait-gone 30
      echo "   the removal run closed the wizard"
      finish_installer
      ;;
    legacy-shot)
      step "installation run on Windows 98 (template 101)"
      "$wine" reg add 'HKCU\Software\Wine\AppDefaults\usbinst.exe' /v Version /t REG_SZ \
        /d win98 /f >/dev/null || fail "cannot set the Windows version"
      start_installer
      driver wait-wizard 60 expect progress=0 next=off "text=Kapcsolja be a KV6 sorozat telefont"
      screenshot wizard-101-waiting
      step "plugging the phone in as Windows 98 records it"
      "$wine" reg add 'HKCU\Software\Wine\AppDefaults\phone_simulator.exe' /v Version \
        /t REG_SZ /d win98 /f >/dev/null || fail "cannot set the Windows version"
      phone plug 0 plug 1
      driver expect progress=2 next=off cancel=on
      phone plug 2 plug 3
      driver expect progress=4 next=on cancel=off default=next
      driver press next wait-gone 30
      finish_installer
      for program in usbinst.exe phone_simulator.exe; do
        "$wine" reg delete "HKCU\\Software\\Wine\\AppDefaults\\$program" /f >/dev/null 2>&1
      done
      ;;
    *) fail "unknown scenario $scenario" ;;
  esac
done
"$USBINST_WINESERVER" -k 2>/dev/null
echo "== all steps passed"
