#!/usr/bin/env bash
# The C++ sources follow .clang-format (columns at most 120); names the lines that drift.
cd "$1" || exit 1
command -v clang-format >/dev/null || { echo "clang-format is missing"; exit 77; }
drift=$(git ls-files -z '*.cpp' '*.h' | xargs -0 -n 100 -P 2 clang-format --dry-run --Werror 2>&1 | grep 'error:')
if [[ -n $drift ]]; then
  head -n 20 <<<"$drift"
  echo "not formatted: run clang-format -i on the files above"
  exit 1
fi
