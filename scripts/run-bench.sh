#!/usr/bin/env bash
# Runs every benchmark binary of a bench build; the transform's figures sit beside the
# reference library's, measured in the same run.
set -euo pipefail
dir=${1:-build-bench}
picture=${PICTURE:-samples/camera-512.bmp}
for b in "$dir"/bench/bench_*; do
  [[ -x "$b" ]] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.5 || exit 1
done
