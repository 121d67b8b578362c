#!/usr/bin/env bash
# Prints the share of test code: physical lines of the tracked *.cc, *.h and *.cpp
# files outside bench/ and fuzz/ that are tests (*_unittests.cc and everything
# under tests/), over all of those lines.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.cc' '*.h' '*.cpp' | grep -vE '^(bench|fuzz)/')
total=0
tests=0
for file in "${files[@]}"; do
  lines=$(wc -l < "$file")
  total=$((total + lines))
  if [[ $file == *_unittests.cc || $file == tests/* ]]; then
    tests=$((tests + lines))
  fi
done
awk -v t="$tests" -v a="$total" 'BEGIN { printf "test lines %d of %d: share %.3f\n", t, a, a ? t / a : 0 }'
