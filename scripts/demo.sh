#!/usr/bin/env bash
# The installation round trip under Wine, for a person to watch: builds
# usbinst.exe and the test tools, then runs the installer from the driver CD
# fixture with the install switch, answers the driver-signing notice, plugs the
# phone in function by function and finishes the wizard; then shows the
# Windows 98 wizard. Each step is printed; screenshots of both wizard templates
# are saved in build/windows-x64/screenshots.
#
#   bash scripts/demo.sh
#
# On a fresh Debian 12 machine it first installs what it needs (as root or with
# password-less sudo). With DISPLAY set the windows appear on that display;
# otherwise everything runs headless under Xvfb.
set -uo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ g++-mingw-w64-x86-64-posix wine64 xvfb xauth fonts-liberation
          fonts-wine locales imagemagick)

source scripts/machine-setup.sh

die() {
  echo "demo: $*" >&2
  exit 1
}

install_missing || die "cannot install the packages"
generate_locale || die "cannot generate the hu_HU.UTF-8 locale"

echo "== building usbinst.exe and the test tools (preset windows-x64)"
log=$(cmake --preset windows-x64 2>&1) || { echo "$log"; die "configuration failed"; }
cmake --build --preset windows-x64 --target usbinst phone_simulator dialog_driver ||
  die "the build failed"

build=$PWD/build/windows-x64
shots=$build/screenshots
rm -rf "$shots"
if [ -n "${DISPLAY:-}" ]; then
  echo "== running on the display $DISPLAY"
else
  echo "== running headless under Xvfb"
fi
USBINST_WINE_ROOT=$build/wine-demo tests/wine/run-in-wine.sh --user-display --timeout 400 \
  tests/wine/install-round-trip.sh "$build" "$PWD/tests/data/cd" "$shots" switch legacy-shot ||
  die "the round trip failed"
USBINST_WINE_ROOT=$build/wine-demo tests/wine/run-in-wine.sh --remove-base
echo "== screenshots:"
ls -1 "$shots"/*.png 2>/dev/null | sed 's/^/   /'
