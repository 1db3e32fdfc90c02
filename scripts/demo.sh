#!/usr/bin/env bash
# The installation round trip under Wine, for a person to watch: builds
# usbinst.exe and the test tools, then, on a machine made to look like a
# customer's Windows XP PC, runs the installer from the driver CD fixture with
# the install switch, answers the driver-signing notice, plugs the phone in
# function by function, finishes the wizard and removes the drivers again, and
# prints the trace report's summary (the machine before against after); then
# shows the Windows 98 wizard. Each step is printed; the report, its HTML page
# and the XP screenshots are saved in build/windows-x86/trace/winxp-sp3-full,
# the Windows 98 screenshots in build/windows-x86/screenshots.
#
#   bash scripts/demo.sh
#
# On a fresh Debian 12 machine it first installs what it needs (as root or with
# password-less sudo). With DISPLAY set the windows appear on that display;
# otherwise everything runs headless under Xvfb.
set -uo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32
          g++-mingw-w64-x86-64-win32 wine64 wine32:i386 xvfb xauth fonts-liberation fonts-wine
          locales imagemagick)

source scripts/machine-setup.sh

die() {
  echo "demo: $*" >&2
  exit 1
}

install_missing || die "cannot install the packages"
generate_locale || die "cannot generate the hu_HU.UTF-8 locale"

echo "== building usbinst.exe and the test tools (preset windows-x86)"
log=$(cmake --preset windows-x86 2>&1) || { echo "$log"; die "configuration failed"; }
cmake --build --preset windows-x86 --target usbinst usbinst64 phone_simulator dialog_driver \
  answer_dialogs customer_machine trace_snapshot trace_report_host || die "the build failed"

build=$PWD/build/windows-x86
shots=$build/screenshots
report=$build/trace/winxp-sp3-full
rm -rf "$shots"
if [ -n "${DISPLAY:-}" ]; then
  echo "== running on the display $DISPLAY"
else
  echo "== running headless under Xvfb"
fi
USBINST_WINE_ARCH=win32 USBINST_WINE_ROOT=$build/wine-demo USBINST_TRACE_REPORT=$build/host/trace_report \
  tests/wine/run-in-wine.sh --user-display --timeout 300 tests/wine/trace-round-trip.sh \
  "$build" "$PWD/tests/data/cd" "$build/trace" winxp-sp3 full ||
  die "the round trip failed"
USBINST_WINE_ARCH=win32 USBINST_WINE_ROOT=$build/wine-demo tests/wine/run-in-wine.sh --user-display --timeout 300 \
  tests/wine/install-round-trip.sh "$build" "$PWD/tests/data/cd" "$shots" legacy-shot ||
  die "the Windows 98 wizard failed"
USBINST_WINE_ARCH=win32 USBINST_WINE_ROOT=$build/wine-demo tests/wine/run-in-wine.sh --remove-base
echo "== trace report of the Windows XP round trip (the machine before against after):"
sed -n '1,/^Result:/p' "$report/report.txt" | sed 's/^/   /'
echo "   every difference: $report/report.txt"
echo "   the page with the screenshots: $report/report.html"
echo "   what the program showed: $report/shown.txt"
echo "== screenshots:"
ls -1 "$report"/*.png "$shots"/*.png 2>/dev/null | sed 's/^/   /'
