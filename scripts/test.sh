#!/usr/bin/env bash
# Builds both presets and runs every test: native ones directly, Windows ones under Wine in
# a private prefix and an Xvfb display of their own. Ends with CTest's summary; exits
# non-zero on any failure; leaves no process running.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh

cmake --preset native
cmake --build --preset native
cmake --preset windows
cmake --build --preset windows

# The tests make files with non-ASCII names: Wine needs a UTF-8 locale to put them on disk
# (without one, in a bare environment, it cannot). C.UTF-8 also gives the prefix the code
# page (Windows-1252) that the tests expect.
export LC_ALL=C.UTF-8
unset LANGUAGE

scratch=$(mktemp -d /tmp/tallowmere-test.XXXXXX)
export WINEPREFIX="$scratch/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
xvfb_pid=""

cleanup() {
  local status=$?
  # Every Wine process of the private prefix, then the display.
  if [ -d "$WINEPREFIX" ]; then
    timeout 30 wineserver -k 2>/dev/null || true
    timeout 30 wineserver -w 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display number nobody uses.
display=""
for number in $(seq 90 190); do
  if [ ! -e "/tmp/.X$number-lock" ] && [ ! -e "/tmp/.X11-unix/X$number" ]; then
    display=$number
    break
  fi
done
[ -n "$display" ] || { echo "test: no free X display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 1 100); do
  xdpyinfo >/dev/null 2>&1 && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$scratch/xvfb.log" >&2; echo "test: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "test: Xvfb is not answering on $DISPLAY" >&2; exit 1; }

# Bring the prefix up once, before tests start Wine processes in parallel: a fresh prefix
# races with a second process started at the same moment.
echo "test: preparing Wine prefix $WINEPREFIX on display $DISPLAY"
timeout 600 wine wineboot -i >"$scratch/wineboot.log" 2>&1 || { cat "$scratch/wineboot.log" >&2; exit 1; }
timeout 120 wineserver -w
timeout 60 wineserver -p  # keep one server for the whole run
# Start Wine's desktop now, with no test's output attached: the desktop process outlives the
# program that starts it, and a test whose output it held would wait for it to end.
wine "$root/build/windows/tallowmere-driver.exe" hold --timeout=5400000 </dev/null >/dev/null 2>&1 &
timeout 60 wine "$root/build/windows/tallowmere-driver.exe" windows </dev/null >/dev/null 2>&1

jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -ge 2 ] || jobs=2
status=0
ctest --preset native --parallel "$jobs" || status=1
ctest --preset windows --parallel "$jobs" || status=1
exit "$status"
