#!/usr/bin/env bash
# Runs every fuzz target of fuzz/ for SECONDS each (default 60) on a copy of its
# seed corpus, so the repository's corpus grows only by hand. Builds the clang tree
# with sanitizers first (build/sanitize, shared with the sanitizer unit tests).
# Fails on any finding (one allocation above 256 MiB counts, as inputs are small);
# its input is left in build/sanitize/fuzz-findings/.
# Extra arguments go to every target, e.g. -runs=10000000 (which then ends a run
# before SECONDS does).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seconds=${1:-60}
shift || true
tree=build/sanitize

if [ ! -f "$tree/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$tree" -G Ninja -DKR_SANITIZE=ON -DKR_FUZZ=ON >/dev/null ||
    exit 1
fi
cmake --build "$tree" -j "$(nproc)" >/dev/null || exit 1

findings=$tree/fuzz-findings
mkdir -p "$findings"
status=0
for source in fuzz/*_fuzzer.cc; do
  target=$(basename "$source" _fuzzer.cc)
  work=$(mktemp -d)
  cp fuzz/corpus/"$target"/* "$work"/ 2>/dev/null
  log=$tree/fuzz-$target.log
  "$tree/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -malloc_limit_mb=256 \
    -artifact_prefix="$findings/$target-" -print_final_stats=1 "$@" "$work" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rm -rf "$work"
  if [ "$rc" = 0 ]; then
    echo "fuzz: $target: ${runs:-?} runs, no finding"
  else
    echo "fuzz: $target: FAILED (exit $rc), see $log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*check failed|.*runtime error)' "$log" | head -n 5
    status=1
  fi
done
exit $status
