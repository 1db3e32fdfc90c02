#!/usr/bin/env bash
# Builds the fuzz preset and runs each fuzzer for SECONDS (default 600) with
# libFuzzer, on a corpus under build/fuzz/corpus/<fuzzer> that grows from run
# to run, seeded from tests/fuzz/corpus/<fuzzer>. A crash leaves its input in
# build/fuzz/artifacts/. Prints each fuzzer's executions; exits non-zero when
# a fuzzer found a fault.
#
#   bash scripts/fuzz.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

log=$(cmake --preset fuzz 2>&1) || { echo "$log"; exit 1; }
cmake --build --preset fuzz || exit 1

status=0
for fuzzer in removal_fuzzer text_fuzzer registry_export_fuzzer; do
  corpus=build/fuzz/corpus/$fuzzer
  mkdir -p "$corpus" build/fuzz/artifacts
  output=build/fuzz/$fuzzer.log
  echo "== $fuzzer, $seconds s"
  build/fuzz/$fuzzer -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
    -timeout=30 -rss_limit_mb=4096 -artifact_prefix=build/fuzz/artifacts/$fuzzer- \
    "$corpus" tests/fuzz/corpus/$fuzzer > "$output" 2>&1
  result=$?
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|^#[0-9]+ +DONE" "$output"
  if [ $result != 0 ]; then
    echo "$fuzzer found a fault (exit code $result):"
    grep -E -A30 "^==[0-9]+==ERROR|runtime error|^removal on|wrote past|left no|answered|lost text|split|exceeded|changed|an entry|an error|a refusal|a registry path|a key without|two spellings" "$output" | head -60
    status=1
  fi
done
exit $status
