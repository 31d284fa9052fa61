#!/usr/bin/env bash
# The C++ sources follow .clang-format (columns at most 120); prints the files that drift.
set -uo pipefail
cd "$1" || exit 1
command -v clang-format >/dev/null || { echo "clang-format is missing"; exit 77; }
drift=()
while IFS= read -r -d '' file; do
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || drift+=("$file")
done < <(git ls-files -z '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -print0 -o -name '*.h' -print0)
if ((${#drift[@]})); then
  printf 'not formatted (run clang-format -i): %s\n' "${drift[@]}"
  exit 1
fi
