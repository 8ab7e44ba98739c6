#!/usr/bin/env bash
# The window against tallowmere-cli on the same playlists, end to end: 100,000 logged lines
# from Strip non-existant songs (songs of a folder that is gone) and from Strip Duplicates
# (copies of one line). The window is driven by tallowmere-driver: the time runs from the
# click to the moment the run is over ("Busy" hidden, inputs enabled again, every line in the
# list). The goal is at most 1.5x the CLI's time.
# Usage: DISPLAY=:N bash bench/window_log_bench.sh [lines]    (build/windows must be built)
set -uo pipefail
cd "$(dirname "$0")/.."
lines=${1:-100000}
export WINEPREFIX=${WINEPREFIX:-/tmp/wp-bench} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" LC_ALL=C.UTF-8
[ -n "${DISPLAY:-}" ] || { echo "skipped: no X display (DISPLAY)"; exit 0; }
exe=$PWD/build/windows/tallowmere.exe cli=build/windows/tallowmere-cli.exe driver=build/windows/tallowmere-driver.exe
caption="Kestrane - Tallowmere - Build 3"
work=$(mktemp -d /tmp/tallowmere-window-bench.XXXXXX)
app=""
trap '[ -n "$app" ] && kill $app 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
win="Z:${work//\//\\}"
{ printf '#EXTM3U\r\n'; seq 1 "$lines" | sed 's/.*/Gone\\&.mp3\r/'; } >"$work/missing.m3u"
{ printf 'Songs\\a.mp3\r\n'; seq 1 "$lines" | sed 's/.*/SONGS\\A.MP3\r/'; } >"$work/dupes.m3u"
now() { date +%s.%N; }
drive() { timeout 120 wine "$driver" "$@" --exe=tallowmere.exe 2>/dev/null | tr -d '\r'; }

(cd "$work" && exec wine "$exe") >/dev/null 2>&1 &
app=$!
drive wait-window --caption="$caption" --visible=1 --timeout=60000 >/dev/null ||
  { echo "the window did not show"; exit 1; }
# What the driver itself costs: a click and a look are each a process of their own under Wine.
start=$(now)
drive window-inspect --caption="$caption" >/dev/null
drive window-inspect --caption="$caption" >/dev/null
driver_time=$(echo "$(now) - $start" | bc)
printf 'driver round trip (two driver calls, idle window): %.2f s\n' "$driver_time"
for run in "strip-missing missing.m3u 111" "strip-dupes dupes.m3u 113"; do
  set -- $run
  cp "$work/$2" "$work/cli-$2"
  start=$(now)
  wine "$cli" "$1" "$win\\cli-$2" >"$work/cli.log" 2>&1  # the log written out, as the window shows it
  cli_time=$(echo "$(now) - $start" | bc)
  drive window-set-text --caption="$caption" --id=101 --text="$win\\$2" >/dev/null
  start=$(now)
  drive window-click --caption="$caption" --id="$3" >/dev/null
  for _ in $(seq 3000); do
    out=$(drive window-inspect --caption="$caption")
    grep -q "ctl.112.visible=0" <<<"$out" && grep -q "ctl.101.enabled=1" <<<"$out" && break
    sleep 0.1
  done
  window_time=$(echo "$(now) - $start" | bc)
  count=$(drive window-items --caption="$caption" --id=107 | sed -n 's/^count=//p')
  printf '%-14s %d lines logged: window %.2f s, CLI %.2f s: %.2fx; less the driver round trip %.2fx\n' \
    "$1" "$count" "$window_time" "$cli_time" "$(echo "$window_time / $cli_time" | bc -l)" \
    "$(echo "($window_time - $driver_time) / $cli_time" | bc -l)"
  cmp -s "$work/$2" "$work/cli-$2" || echo "  the window and the CLI wrote different playlists"
done
