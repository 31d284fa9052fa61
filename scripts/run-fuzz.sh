#!/usr/bin/env bash
# Runs each fuzz target of a fuzz build for SECONDS on a working copy of its seed corpus
# (the committed seeds stay as they are): pictures, .npy matrices, CSV tables. A crash,
# sanitizer report or wrong result leaves its input in DIR/artifacts/ and makes this
# script fail.
set -euo pipefail
dir=${1:-build-fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
run() {
  local target=$1 seeds=$2
  mkdir -p "$dir/corpus-$target" "$dir/artifacts"
  echo "== $target"
  "$dir/$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=3072 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/$target-" "$dir/corpus-$target" "$seeds"
}
run fuzz_road "$root/tests/fuzz-corpus"
run fuzz_npy "$root/tests/fuzz-seeds/npy"
run fuzz_table "$root/tests/fuzz-seeds/table"
run fuzz_codec "$root/tests/fuzz-corpus-codec"
