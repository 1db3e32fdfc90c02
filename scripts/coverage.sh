#!/usr/bin/env bash
# Branch and line coverage of the logic by the native unit tests. Builds the
# native tests with gcc --coverage in build/coverage (a build of its own, so
# the presets are not touched), runs them, and prints the figures per folder:
# app/, text/, wizard/, install/, uninstall/, registry/, their total, and
# platform/sim/ on its own line (the simulated machine, not the logic).
# Test sources (*_test.cpp, test_*.h, tests/) are not counted.
#
#   bash scripts/coverage.sh            figures per folder
#   bash scripts/coverage.sh --files    the same, then each logic file
#
# Branches gcc adds for exception unwinding (a call that may throw, the
# destructor run on that path) are left out with gcovr's
# --exclude-throw-branches: the logic throws nothing and catches nothing, so
# those edges are the compiler's, not decisions of the program. Branches on
# lines without source text (--exclude-unreachable-branches) are left out
# for the same reason.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ libgtest-dev googletest gcovr)
source scripts/machine-setup.sh
install_missing

build=build/coverage
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="--coverage" -DCMAKE_EXE_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$build" --target unit_tests >/dev/null
# Counts of an earlier run would add up with this one.
find "$build" -name '*.gcda' -delete
"$build/unit_tests" --gtest_brief=1 >/dev/null

summary="$build/coverage-summary.json"
gcovr --root . --object-directory "$build" \
  --filter 'app/' --filter 'text/' --filter 'wizard/' --filter 'install/' \
  --filter 'uninstall/' --filter 'registry/' --filter 'platform/sim/' \
  --exclude '.*_test\.cpp$' --exclude '(.*/)?test_[^/]*\.h$' \
  --exclude-directories "$build/CMakeFiles/[0-9.]+" \
  --exclude-throw-branches --exclude-unreachable-branches \
  --json-summary "$summary" >/dev/null

python3 - "$summary" "${1:-}" <<'EOF'
import json, sys

files = json.load(open(sys.argv[1]))["files"]
logic = ["app/", "text/", "wizard/", "install/", "uninstall/", "registry/"]
rows = {}
for f in files:
    folder = next((d for d in logic + ["platform/sim/"] if f["filename"].startswith(d)), None)
    if folder is None:
        continue
    r = rows.setdefault(folder, [0, 0, 0, 0])
    r[0] += f["branch_covered"]; r[1] += f["branch_total"]
    r[2] += f["line_covered"]; r[3] += f["line_total"]

def pct(done, total):
    return f"{100.0 * done / total:6.1f} %" if total else "     - "

def line(name, r):
    print(f"{name:<14} {pct(r[0], r[1])} {r[0]:>5}/{r[1]:<5}   {pct(r[2], r[3])} {r[2]:>5}/{r[3]:<5}")

print(f"{'folder':<14} {'branches':>21}   {'lines':>21}")
total = [0, 0, 0, 0]
for folder in logic:
    r = rows.get(folder, [0, 0, 0, 0])
    line(folder, r)
    total = [a + b for a, b in zip(total, r)]
line("logic total", total)
line("platform/sim/", rows.get("platform/sim/", [0, 0, 0, 0]))

if sys.argv[2] == "--files":
    print()
    for f in sorted(files, key=lambda f: f["filename"]):
        if any(f["filename"].startswith(d) for d in logic):
            line(f["filename"][:40], [f["branch_covered"], f["branch_total"],
                                      f["line_covered"], f["line_total"]])
EOF
