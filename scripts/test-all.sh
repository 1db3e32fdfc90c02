#!/usr/bin/env bash
# The one test command: installs what is missing (Debian), then configures,
# builds and tests every preset. Safe to run again; fast when everything is
# installed and built. Exits non-zero when any step failed.
#
#   bash scripts/test-all.sh
set -uo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ libgtest-dev googletest g++-mingw-w64-x86-64-posix
          g++-mingw-w64-i686-posix wine64 xvfb xauth fonts-liberation fonts-wine locales
          imagemagick)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo -n "$@"; fi
}

install_missing() {
  local missing=()
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} = 0 ] && return 0
  echo "== installing ${missing[*]}"
  as_root apt-get update -qq &&
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
}

# Wine gives programs the ANSI code page of the Unix locale: 1250 needs the
# Hungarian locale.
generate_locale() {
  locale -a 2>/dev/null | grep -qix 'hu_HU\.utf-\?8' && return 0
  echo "== generating hu_HU.UTF-8"
  if ! grep -q '^hu_HU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'hu_HU.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  fi
  as_root locale-gen hu_HU.UTF-8 >/dev/null
}

# Configuration is quiet unless it fails.
configure() {
  local log
  log=$(cmake --preset "$1" 2>&1) || { echo "$log"; return 1; }
}

failed=()
step() {
  local name=$1
  shift
  echo "== $name"
  "$@" || { failed+=("$name"); return 1; }
}

start=$(date +%s)
step "install packages" install_missing || { echo "cannot install packages" >&2; exit 1; }
step "generate locale" generate_locale

# Tests run for every preset that has a test preset; the x86 one runs the
# import check, and its programs under Wine only where wine32 is installed.
for preset in native native-asan windows-x64 windows-x86; do
  step "configure $preset" configure "$preset" || continue
  step "build $preset" cmake --build --preset "$preset" || continue
  step "test $preset" ctest --preset "$preset"
done

echo "== finished in $(($(date +%s) - start)) s"
if [ ${#failed[@]} != 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "all steps passed"
