#!/usr/bin/env bash
# Builds the trees and runs every test: the native unit tests, then the Windows
# test programs under Wine; a third tree compiles and links the executable against
# Flutter's real client wrapper (its build checks the import table); a clang tree
# runs the unit tests under ASan and UBSan and each fuzz target for 5 s. Ends with
# the summary of each tree; fails if any test or build failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tools/deps.sh || exit 1

jobs=$(nproc)
native=build/native
win=build/win64
status=0

cmake -S . -B "$native" -G Ninja >/dev/null || exit 1
cmake --build "$native" -j "$jobs" || exit 1
cmake -S . -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null || exit 1
cmake --build "$win" -j "$jobs" || exit 1

# The wrapper lives beside the repository (shared/ next to the clone), never in
# it; KR_FLUTTER_WRAPPER in the environment names another folder.
wrapper=${KR_FLUTTER_WRAPPER:-$root/../shared/flutter-windows}
flutter_tree=build/win64-flutter
if [ -d "$wrapper" ]; then
  # Compile and link only: no debug information needed.
  cmake -S . -B "$flutter_tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DKR_FLUTTER_WRAPPER="$wrapper" >/dev/null || exit 1
  cmake --build "$flutter_tree" -j "$jobs" && flutter_result="built, imports checked" || {
    flutter_result="FAILED"
    status=1
  }
else
  flutter_result="skipped: no Flutter client wrapper at $wrapper"
fi

# Whatever happens, the display and Wine server of the run are stopped.
trap 'for s in wine wine144 wine120; do tools/wine-session stop "$win/$s" >/dev/null 2>&1; done' EXIT

ctest --test-dir "$native" -j "$jobs" --output-on-failure | tee "$native/ctest.log"
native_status=${PIPESTATUS[0]}
ctest --test-dir "$win" -j "$jobs" --output-on-failure | tee "$win/ctest.log"
win_status=${PIPESTATUS[0]}

# The clang tree with ASan+UBSan, where any report fails its test, then each fuzz
# target for 5 s on its corpus, so that the corpus stays a regression test.
san=build/sanitize
CC=clang CXX=clang++ cmake -S . -B "$san" -G Ninja -DKR_SANITIZE=ON -DKR_FUZZ=ON >/dev/null || exit 1
cmake --build "$san" -j "$jobs" >"$san/build.log" || { tail -n 40 "$san/build.log"; exit 1; }
ctest --test-dir "$san" -j "$jobs" --output-on-failure >"$san/ctest.log" || { cat "$san/ctest.log"; status=1; }
fuzz_result=passed
tools/fuzz.sh 5 || { fuzz_result=FAILED; status=1; }

echo
echo "== native tree =="
grep -E 'tests passed|tests failed' "$native/ctest.log" | tail -n 1
echo "== win64 tree (under Wine) =="
grep -E 'tests passed|tests failed' "$win/ctest.log" | tail -n 1
echo "== win64 tree against the real Flutter wrapper: $flutter_result =="
echo "== sanitizer tree (clang, ASan+UBSan) =="
grep -E 'tests passed|tests failed' "$san/ctest.log" | tail -n 1
echo "== fuzz targets, 5 s each: $fuzz_result =="
[ "$native_status" = 0 ] && [ "$win_status" = 0 ] || status=1
exit $status
