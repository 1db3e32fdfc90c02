#!/usr/bin/env bash
# Runs one Windows program under Wine in a throw-away prefix and returns the
# program's exit code.
#
#   run-in-wine.sh --make-base        make this test run's base prefix
#   run-in-wine.sh --remove-base      delete it
#   run-in-wine.sh [--gui] [--timeout SECONDS] program.exe [arguments...]
#   run-in-wine.sh [--gui] [--timeout SECONDS] scenario.sh [arguments...]
#   run-in-wine.sh --user-display ...   as --gui, on the caller's X display when it
#                                       has one (a person watches), else on Xvfb
#
# A scenario script runs with bash inside the same prefix (and X session), with
# WINEPREFIX set and the loader in USBINST_WINE_LOADER, so that it can run
# several programs side by side.
#
# USBINST_WINE_ROOT names the folder that holds the base prefixes and the
# per-program copies. Making a prefix takes seconds; copying it well under
# one, so every program gets a fresh copy of the same base. USBINST_WINE_ARCH
# chooses the kind of Windows: win64 (the default; 32-bit programs run there
# under WOW64, as on 64-bit Windows) or win32 (a 32-bit Windows, as the PCs of
# Windows 95 to XP were; it needs the 32-bit loader from wine32:i386). Each
# kind has its base prefix, base-win64 or base-win32, made when first needed.
#
# Programs run with LANG=hu_HU.UTF-8, which gives them ANSI code page 1250 as
# on a Hungarian Windows. Without --gui there is no X display. With --gui the
# program, and the wineserver it starts, live inside one xvfb-run session: a
# wineserver started without a display would break the dialogs.
set -u

wine_dir=${USBINST_WINE_DIR:-/usr/lib/wine}
wineserver=$wine_dir/wineserver
root=${USBINST_WINE_ROOT:?set USBINST_WINE_ROOT to the folder for the Wine prefixes}
arch=${USBINST_WINE_ARCH:-win64}
base=$root/base-$arch
case $arch in
  win64) prefix_loader=$wine_dir/wine64 ;;
  win32) prefix_loader=$wine_dir/wine ;;
  *) echo "run-in-wine: USBINST_WINE_ARCH must be win32 or win64, not '$arch'" >&2; exit 2 ;;
esac

export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=hu_HU.UTF-8 LC_ALL=hu_HU.UTF-8
# Wine as root ignores a file's read-only attribute when it writes; the
# contract tests expect Wine's answer for the user they run as.
export USBINST_WINE_UID=$(id -u)
user_display=${DISPLAY:-}
unset DISPLAY WAYLAND_DISPLAY

fail() {
  echo "run-in-wine: $*" >&2
  exit 1
}

ensure_locale() {
  locale -a 2>/dev/null | grep -qix 'hu_HU\.utf-\?8' && return 0
  [ "$(id -u)" = 0 ] || fail "locale hu_HU.UTF-8 is missing (run: locale-gen hu_HU.UTF-8)"
  if [ -f /etc/locale.gen ] && ! grep -q '^hu_HU.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'hu_HU.UTF-8 UTF-8' >>/etc/locale.gen
  fi
  locale-gen hu_HU.UTF-8 >/dev/null || fail "locale-gen hu_HU.UTF-8 failed"
}

make_base() {
  ensure_locale
  [ -x "$prefix_loader" ] || fail "$prefix_loader not found (apt-get install wine64 wine32:i386)"
  mkdir -p "$root"
  rm -rf "$base" "$base.new"
  local reg="$prefix_loader reg add"
  (
    export WINEPREFIX=$base.new WINEARCH=$arch
    timeout 300 "$prefix_loader" wineboot -i >/dev/null 2>&1 || exit 1
    # A virtual desktop lets a process end as soon as its last window closes.
    $reg 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1 &&
      $reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f \
        >/dev/null 2>&1 || exit 1
    # The server writes the registry files when it exits, a few seconds
    # after its last client.
    timeout 60 "$wineserver" -w
  ) || fail "could not make the base prefix"
  mv "$base.new" "$base"
}

# The loader that runs this program: wine64 for x64; a 32-bit program needs
# the 32-bit loader (wine32:i386), without which it would exit 0 unrun. A
# 32-bit Windows cannot run a 64-bit program.
loader_for() {
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
  case $machine in
    8664)
      [ "$arch" = win64 ] || fail "$1 is a 64-bit program and this prefix is 32-bit Windows"
      echo "$wine_dir/wine64" ;;
    014c)
      [ -x "$wine_dir/wine" ] || fail "$1 is 32-bit and the 32-bit Wine loader is missing"
      echo "$wine_dir/wine" ;;
    *) fail "$1 is not a Windows x64 or x86 program (machine $machine)" ;;
  esac
}

run_program() {
  local gui=0 seconds=300
  while [ $# -gt 0 ]; do
    case $1 in
      --gui) gui=1; shift ;;
      --user-display) gui=1; [ -n "$user_display" ] && gui=2; shift ;;
      --timeout) seconds=$2; shift 2 ;;
      *) break ;;
    esac
  done
  [ $# -ge 1 ] || fail "no program given"
  local program=$1
  shift
  [ -f "$program" ] || fail "$program not found"
  local loader runner
  if [[ $program == *.sh ]]; then
    loader=$prefix_loader
    runner=bash
  else
    loader=$(loader_for "$program") || exit 1
    runner=$loader
  fi
  ensure_locale
  [ -d "$base" ] || make_base

  mkdir -p "$root"
  local prefix
  prefix=$(mktemp -d "$root/run.XXXXXX")
  cp -a "$base/." "$prefix/"
  export WINEPREFIX=$prefix USBINST_WINE_LOADER=$loader USBINST_WINE_SECONDS=$seconds
  export USBINST_WINE_RUNNER=$runner USBINST_WINESERVER=$wineserver
  local status
  if [ $gui = 2 ]; then
    # The wineserver must not outlive this run: it would keep the display.
    DISPLAY=$user_display timeout -k 5 "$seconds" "$runner" "$program" "$@"
    status=$?
    DISPLAY=$user_display "$wineserver" -k 2>/dev/null
  elif [ $gui = 1 ]; then
    command -v xvfb-run >/dev/null || fail "xvfb-run not found (apt-get install xvfb xauth)"
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
      timeout -k 5 "$USBINST_WINE_SECONDS" "$USBINST_WINE_RUNNER" "$@"
      status=$?
      "$0" -k 2>/dev/null
      exit $status' "$wineserver" "$program" "$@"
    status=$?
  else
    timeout -k 5 "$seconds" "$runner" "$program" "$@"
    status=$?
  fi
  [ $status = 124 ] && echo "run-in-wine: $program timed out after $seconds s" >&2
  "$wineserver" -k 2>/dev/null
  timeout 30 "$wineserver" -w 2>/dev/null
  rm -rf "$prefix"
  return $status
}

case ${1:-} in
  --make-base) make_base ;;
  --remove-base) rm -rf "$root"/base-win32 "$root"/base-win64 "$root"/base-*.new ;;
  *) run_program "$@" ;;
esac
