#!/usr/bin/env bash
# Builds and runs the removal benchmarks in one run: first the native one on
# simulated registries (registry calls, times, the lower bound and the growth
# exponents), then the Windows one under Wine (the removal against a plain pass
# over the same trees on Wine's registry).
# Usage: scripts/bench.sh [size ...]   (default 1000 10000 100000; the Wine part
#        always seeds 10,000 foreign keys; WINE_REPEATS sets its repeats, 7)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native --target removal_bench >/dev/null
echo "Machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "Native: $(grep -m1 CMAKE_BUILD_TYPE build/native/CMakeCache.txt | cut -d= -f2) build"
build/native/removal_bench "$@"

echo
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || [ ! -x /usr/lib/wine/wine64 ]; then
  echo "Wine part skipped: no MinGW-w64 compiler or no wine64 (scripts/test-all.sh installs both)"
  exit 0
fi
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target removal_bench_wine >/dev/null
echo "Wine: $(/usr/lib/wine/wine64 --version 2>/dev/null), Windows program" \
     "$(grep -m1 CMAKE_BUILD_TYPE build/windows-x64/CMakeCache.txt | cut -d= -f2) build"
# A prefix folder of this script's own, apart from the test runs' prefixes.
export USBINST_WINE_ROOT=$PWD/build/windows-x64/bench-wine
exec tests/wine/run-in-wine.sh --gui --timeout 1800 build/windows-x64/answer_dialogs.exe \
  --no-dialog 1780 removal_bench_wine.exe 10000 "${WINE_REPEATS:-7}"
