#!/usr/bin/env bash
# Builds the native preset and runs the removal benchmark: the table of registry
# calls, times, the lower bound and the growth exponent, in one run.
# Usage: scripts/bench.sh [size ...]   (default 1000 10000 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native --target removal_bench >/dev/null
echo "Machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
exec build/native/removal_bench "$@"
