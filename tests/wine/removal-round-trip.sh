#!/usr/bin/env bash
# A removal run of the real usbinst.exe under Wine on a machine that holds the
# phone's footprint (planted by removal_footprint.exe) next to another maker's
# device, service and files, with a CD launcher window waiting. Runs inside
# run-in-wine.sh --gui:
#
#   run-in-wine.sh --gui removal-round-trip.sh BUILD_DIR
#
# BUILD_DIR holds usbinst.exe, answer_dialogs.exe and removal_footprint.exe.
# Passes when the run ends with exit code 0 and no dialog, the footprint is
# gone, the neighbours stay, and the launcher window received WM_DEVICECHANGE
# (wParam 0, lParam 0), also the one whose property was first set in lower
# case (property names are atoms, which compare without case); and when a
# second removal run ends within 40 s although a launcher window's thread
# takes no messages for 100 s.
#
# What Wine 8's Setup API showed here, and what it could not:
# - SetupDiCreateDeviceInfoA, SetupDiSetDeviceRegistryPropertyA and
#   SetupDiRegisterDeviceInfo make a device (ROOT\MODEM\0000) that the removal
#   finds by description and hardware ID and removes with DIF_REMOVE; device
#   keys written straight into Enum (as Plug and Play leaves them) are listed
#   too, and the neighbour "USB\VID_1F3C&PID_6B070" with the phone's modem
#   description stays.
# - Wine ignores DIGCF_PRESENT, so an unplugged phone, and the composite
#   device's children stopping with it, cannot be shown; it runs no class
#   installers, so the driver key and COM number release of DIF_REMOVE are not
#   Windows' here; it has no ControlSet001 (the tool links one) and does not
#   protect the Enum tree. The unit tests on the simulated machine cover these
#   (uninstall/*_test.cpp, platform/sim/device_manager_test.cpp).
# - Services made with CreateServiceA are deleted as on Windows: marked, then
#   gone with their key when the last handle closes.
set -u

build=$1
wine=$USBINST_WINE_LOADER
export WINEDEBUG=-all
log_unix=$WINEPREFIX/drive_c/launcher.txt

step() { echo "== $*"; }
fail() {
  echo "FAILED: $*" >&2
  [ -n "${launcher:-}" ] && kill "$launcher" 2>/dev/null
  exit 1
}
tool() { "$wine" "$build/removal_footprint.exe" "$@"; }

"$USBINST_WINESERVER" -p 2>/dev/null
step "planting the phone's footprint and the neighbours"
tool plant || fail "planting"

step "starting the CD launcher window"
rm -f "$log_unix"
tool launcher 'C:\launcher.txt' &
launcher=$!
for _ in $(seq 1 100); do
  grep -q ready "$log_unix" 2>/dev/null && break
  sleep 0.2
done
grep -q ready "$log_unix" 2>/dev/null || fail "the launcher window did not start"

step "removal run: usbinst.exe /r, any dialog fails it"
"$wine" "$build/answer_dialogs.exe" --no-dialog 120 usbinst.exe /r ||
  fail "the removal run showed a dialog or did not end with 0"

step "the launcher was notified"
for _ in $(seq 1 50); do
  grep -q WM_DEVICECHANGE "$log_unix" 2>/dev/null && break
  sleep 0.2
done
cat "$log_unix"
grep -q '^CD launcher: WM_DEVICECHANGE 0 0$' "$log_unix" || fail "no WM_DEVICECHANGE 0 0"
# A window whose only property is an integer atom is not a launcher.
if grep -q '^Atom window:' "$log_unix"; then fail "the integer-atom window was notified"; fi
wait "$launcher"
launcher=

step "what is left"
tool check || fail "the footprint is not gone or a neighbour was touched"

# A launcher whose window thread takes no messages (hung, or waiting for the
# installer it started) must not keep a removal run waiting: the run gives up
# on it after a few seconds. It sleeps 100 s; the run must end well before.
step "removal run with a launcher that does not answer"
rm -f "$log_unix"
tool hung-launcher 'C:\launcher.txt' 100 &
launcher=$!
for _ in $(seq 1 100); do
  grep -q ready "$log_unix" 2>/dev/null && break
  sleep 0.2
done
grep -q ready "$log_unix" 2>/dev/null || fail "the hung launcher window did not start"
started=$(date +%s)
"$wine" "$build/answer_dialogs.exe" --no-dialog 40 usbinst.exe /r ||
  fail "the removal run waited for the launcher that does not answer"
echo "the removal run ended after $(($(date +%s) - started)) s"
kill "$launcher" 2>/dev/null
wait "$launcher" 2>/dev/null
launcher=
echo "removal round trip passed"
