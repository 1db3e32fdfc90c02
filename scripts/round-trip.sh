#!/usr/bin/env bash
# Checks a driver package before its CD ships: installs it with usbinst.exe and
# removes it again under Wine, on a machine made to look like a customer's PC
# with other makers' devices on it, and reports every difference between the
# machine before and after (see tests/wine/trace-round-trip.sh).
#
#   bash scripts/round-trip.sh [--package DIR] [--version V] [--scenario S]...
#
#   --package DIR   the driver package: the folder that goes on the CD as
#                   "Drivers" (or a CD folder that holds Drivers\ and Setup\);
#                   default: the test CD, tests/data/cd
#   --version V     win95 win98 winme nt40 win2k winxp-sp1 winxp-sp3 (default)
#                   win7, or "all"
#   --scenario S    full (default), no-switch, cancel, second, remove-during,
#                   reinstall, own-ports (the PC's own serial ports hold COM1
#                   to COM4); may be given more than once
#
# Prints each step and the report's summary, and where the report (text and
# HTML page with the screenshots) is. Exit code 0 when no trace is left, 1
# otherwise. On a fresh Debian 12 machine it first installs what it needs (as
# root or with password-less sudo).
set -uo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32
          g++-mingw-w64-x86-64-win32 wine64 wine32:i386 xvfb xauth fonts-liberation fonts-wine
          locales imagemagick)
source scripts/machine-setup.sh

die() {
  echo "round-trip: $*" >&2
  exit 2
}

package_dir=$PWD/tests/data/cd
versions=(winxp-sp3)
scenarios=()
while [ $# -gt 0 ]; do
  case $1 in
    --package)
      [ $# -ge 2 ] || die "--package needs a folder"
      package_dir=$(realpath "$2")
      shift 2
      ;;
    --version) [ $# -ge 2 ] || die "--version needs a version"; versions=("$2"); shift 2 ;;
    --scenario) [ $# -ge 2 ] || die "--scenario needs a name"; scenarios+=("$2"); shift 2 ;;
    *) die "unknown argument $1 (see the top of scripts/round-trip.sh)" ;;
  esac
done
[ ${#scenarios[@]} = 0 ] && scenarios=(full)
[ "${versions[0]}" = all ] && versions=(win95 win98 winme nt40 win2k winxp-sp1 winxp-sp3 win7)
[ -d "$package_dir" ] || die "no folder $package_dir"

install_missing || die "cannot install the packages"
generate_locale || die "cannot generate the hu_HU.UTF-8 locale"

echo "== building usbinst.exe and the round-trip tools (preset windows-x86)"
log=$(cmake --preset windows-x86 2>&1) || { echo "$log"; die "configuration failed"; }
cmake --build --preset windows-x86 --target usbinst usbinst64 phone_simulator dialog_driver \
  answer_dialogs customer_machine trace_snapshot trace_report_host || die "the build failed"

build=$PWD/build/windows-x86
work=$build/round-trip
rm -rf "$work/cd"
mkdir -p "$work/cd/Setup" "$work/cd/Drivers"
# The CD: the program's folder Setup (with the test CD's branding file unless
# the package brings its own) and the package as Drivers beside it.
if [ -d "$package_dir/Drivers" ]; then
  cp -r "$package_dir/Drivers/." "$work/cd/Drivers/"
  [ -d "$package_dir/Setup" ] && cp -r "$package_dir/Setup/." "$work/cd/Setup/"
else
  cp -r "$package_dir/." "$work/cd/Drivers/"
  cp tests/data/cd/Setup/mdmsetup.ini "$work/cd/Setup/"
fi
ls "$work/cd/Drivers/"*.[iI][nN][fF] >/dev/null 2>&1 ||
  die "no INF file in the package $package_dir"
echo "== package: $package_dir"

failed=0
for version in "${versions[@]}"; do
  echo "== round trip on $version: ${scenarios[*]}"
  USBINST_WINE_ARCH=win32 USBINST_WINE_ROOT=$work/wine \
    USBINST_TRACE_REPORT=$build/host/trace_report \
    tests/wine/run-in-wine.sh --gui --timeout $((300 * ${#scenarios[@]})) \
    tests/wine/trace-round-trip.sh "$build" "$work/cd" "$work" "$version" "${scenarios[@]}" ||
    failed=1
done
USBINST_WINE_ROOT=$work/wine tests/wine/run-in-wine.sh --remove-base

echo
for version in "${versions[@]}"; do
  for scenario in "${scenarios[@]}"; do
    dir=$work/$version-$scenario
    if [ ! -f "$dir/report.txt" ]; then
      echo "$version $scenario: no report (see $dir/log.txt)"
      continue
    fi
    echo "$version $scenario: $(grep -m1 '^[0-9]* differences' "$dir/report.txt")"
    echo "   $(grep -m1 '^Result:' "$dir/report.txt")"
    echo "   report: $dir/report.html (screenshots beside it), $dir/report.txt"
    echo "   what the program showed: $dir/shown.txt"
  done
done
if [ $failed = 1 ]; then
  echo "round-trip: a trace is left or a step failed; see the reports and logs above" >&2
  exit 1
fi
echo "round-trip: no trace left"
