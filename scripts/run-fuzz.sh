#!/usr/bin/env bash
# Runs the fuzz target of a fuzz build for SECONDS on a working copy of the seed corpus
# (tests/fuzz-corpus stays as committed). A crash, sanitizer report or wrong result
# leaves its input in DIR/artifacts/ and makes this script fail.
set -euo pipefail
dir=${1:-build-fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$dir/corpus" "$dir/corpus-codec" "$dir/artifacts"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
"$dir/fuzz_road" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=3072 -print_final_stats=1 \
  -artifact_prefix="$dir/artifacts/" "$dir/corpus" "$root/tests/fuzz-corpus"
# The compressed file's reader and decoder, on seeds of its own.
"$dir/fuzz_codec" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=3072 -print_final_stats=1 \
  -artifact_prefix="$dir/artifacts/" "$dir/corpus-codec" "$root/tests/fuzz-corpus-codec"
