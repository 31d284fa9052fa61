#!/usr/bin/env bash
# Runs every benchmark of a bench build, with the reference wavelet library's timings
# on the same 1025 x 1025 square (camera-512 enlarged) measured in the same run.
set -euo pipefail
dir=${1:-build-bench}
root=$(cd "$(dirname "$0")/.." && pwd)
baseline="$root/../shared/bench/pywt_baseline.py"
square=$(mktemp --suffix=.bmp)
trap 'rm -f "$square"' EXIT

if [[ -x "$baseline" ]] && /usr/bin/python3 -c 'import pywt, PIL' 2>/dev/null; then
  /usr/bin/python3 -c "
from PIL import Image
Image.open('$root/samples/camera-512.bmp').convert('L').resize((1025, 1025), Image.NEAREST).save('$square')"
  echo "== reference library, 1025 x 1025, 8 levels"
  "$baseline" "$square" 8
fi
for b in "$dir"/bench/bench_*; do
  [[ -x "$b" ]] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_repetitions=9 --benchmark_report_aggregates_only=true --benchmark_min_time=0.2
done
if [[ -x "$baseline" ]] && [[ -s "$square" ]]; then
  echo "== reference library again, after the benchmarks"
  "$baseline" "$square" 8
fi
if [[ -d "$dir/python/tesora" ]]; then
  echo "== the Python module: decompose + reconstruct of 1025 x 1025 (against BM_DecomposeReconstructValues), import time"
  /usr/bin/python3 "$root/bench/python_overhead.py" "$dir"
  echo "== the compressed file beside JPEG 2000 and JPEG (PIL, when installed): PSNR at equal sizes, times"
  /usr/bin/python3 "$root/bench/compare_codecs.py" "$dir"
fi
if [[ -x "$dir/bench/peak_memory" ]]; then
  echo "== peak memory of tesora-cli for the largest accepted pictures"
  "$dir/bench/peak_memory" "$dir/cli/tesora-cli"
fi
