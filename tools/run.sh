#!/usr/bin/env bash
# Builds the product and starts it under Wine. Without a display it brings up its
# own virtual one.
#   tools/run.sh [--capsule] [--console | --screenshot FILE [--after SECONDS]] [-- ARGS...]
# --screenshot saves the screen to a PNG after SECONDS (default 3) and then ends
# the host; without it the host runs until it quits or Ctrl+C. --console attaches
# tools/console as the host's interface, in this terminal (its quit ends the host).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

usage() {
  echo "usage: tools/run.sh [--capsule] [--console | --screenshot FILE [--after SECONDS]] [-- ARGS...]" >&2
  echo "       (at the console, 'screenshot FILE' saves the screen)" >&2
  exit 2
}
shot=""
after=3
capsule=0
console=0
args=()
while (($#)); do
  case "$1" in
    --screenshot) shot=$(realpath -m "$2"); shift 2 ;;
    --after) after=$2; shift 2 ;;
    --capsule) capsule=1; shift ;;
    --console) console=1; shift ;;
    --) shift; args=("$@"); break ;;
    *) usage ;;
  esac
done
[ "$console" = 1 ] && [ -n "$shot" ] && usage

tools/deps.sh || exit 1
win=build/win64
cmake -S . -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null || exit 1
cmake --build "$win" --target kestrune_flutter -j "$(nproc)" || exit 1

session="$win/run-session"
if [ -n "${DISPLAY:-}" ] && [ -z "$shot" ]; then
  # Use the caller's display; the prefix is still the build tree's own.
  export WINEPREFIX="$root/$session/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
  if [ ! -f "$WINEPREFIX/.kr-ready" ]; then
    tools/wine-session start "$session" && tools/wine-session stop "$session"
  fi
  wineserver -p >/dev/null 2>&1 </dev/null
else
  tools/wine-session start "$session" || exit 1
  trap '"$root/tools/wine-session" stop "$root/$session"' EXIT
  # shellcheck disable=SC1091
  . "$session/env"
fi

[ "$capsule" = 1 ] && export KESTRUNE_CAPSULE=1
echo "run: starting kestrune_flutter.exe on display $DISPLAY"
echo "run: debug log at $WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Temp/kr_debug.log"
if [ "$console" = 1 ]; then
  tools/console --exe "$win/bin/kestrune_flutter.exe" -- "${args[@]}"
  exit $?
fi
cd "$win/bin"
if [ -z "$shot" ]; then
  wine kestrune_flutter.exe "${args[@]}"
  exit $?
fi
wine kestrune_flutter.exe "${args[@]}" &
host=$!
sleep "$after"
import -display "$DISPLAY" -window root "$shot" && echo "run: screenshot saved to $shot"
kill "$host" 2>/dev/null
wait "$host" 2>/dev/null
exit 0
