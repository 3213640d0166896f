#!/usr/bin/env bash
# Runs each fuzzer for a bounded time on a scratch copy of its corpus.
# Usage: tools/fuzz.sh BUILD_DIR [SECONDS]   (BUILD_DIR configured with -DFRAMEPACK_FUZZ=ON)
# A crashing input is left in BUILD_DIR/fuzz-artifacts: add it to tests/fuzz/corpus/NAME/ so that it
# stays a regression case.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=${2:-60}
mkdir -p "$build/fuzz-artifacts"
for fuzzer in command_line pack_reader; do
  corpus=$(mktemp -d)
  cp tests/fuzz/corpus/$fuzzer/* "$corpus/"
  echo "Fuzzing $fuzzer for $seconds seconds"
  "$build/tests/${fuzzer}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-artifacts/$fuzzer-" "$corpus" 2>&1 |
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' || true
  status=${PIPESTATUS[0]}
  rm -rf "$corpus"
  if [ "$status" != 0 ]; then
    echo "The $fuzzer fuzzer failed; its input is in $build/fuzz-artifacts"
    exit 1
  fi
done
