#!/usr/bin/env bash
# The window against tallowmere-cli on the same playlists, end to end: 100,000 logged lines
# from Strip non-existant songs (songs of a folder that is gone), from Strip Duplicates
# (copies of one line) and from Copy to One Folder (the missing songs again). The window is
# driven by tallowmere-driver: the time runs from the click to the moment the button is
# enabled again or the final box shows (the run is over, every line in the list), watched
# from the driver's own process; the CLI's runs from its start to its end. The goal is at
# most 1.5x the CLI's time.
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
cp "$work/missing.m3u" "$work/copy.m3u"  # Copy to One Folder: "Couldn't Copy" for each song
now() { date +%s.%N; }
drive() { timeout 900 wine "$driver" "$@" --exe=tallowmere.exe 2>/dev/null | tr -d '\r'; }

(cd "$work" && exec wine "$exe") >/dev/null 2>&1 &
app=$!
drive wait-window --caption="$caption" --visible=1 --timeout=60000 >/dev/null ||
  { echo "the window did not show"; exit 1; }
# The CLI's time includes starting a Wine process; shown apart, for comparison.
start=$(now)
wine "$cli" --version >/dev/null 2>&1
printf 'tallowmere-cli --version alone (a process started and ended): %.2f s\n' "$(echo "$(now) - $start" | bc)"
for run in "strip-missing missing.m3u 111" "strip-dupes dupes.m3u 113" "copy-to-folder copy.m3u 102"; do
  set -- $run
  cp "$work/$2" "$work/cli-$2"
  start=$(now)
  wine "$cli" "$1" "$win\\cli-$2" >"$work/cli.log" 2>&1  # the log written out, as the window shows it
  cli_time=$(echo "$(now) - $start" | bc)
  drive window-set-text --caption="$caption" --id=101 --text="$win\\$2" >/dev/null
  # The driver posts the click and watches the button from then until the run enables it
  # again, polling every 5 ms in its own process.
  clicked=$(drive window-click --caption="$caption" --id="$3" --until-idle --timeout=600000)
  window_time=$(echo "$(sed -n 's/^idle_after_ms=//p' <<<"$clicked") / 1000" | bc -l)
  # Copy to One Folder ends in its "Finished with N errors" box, which the time ends at.
  grep -q "^box=1" <<<"$clicked" && drive press --title=Tallowmere --button=OK --timeout=20000 >/dev/null
  # Copy to One Folder leaves its own caption on the window.
  [ "$1" = copy-to-folder ] && caption="Copy songs in a Winamp PL to a seperate directory"
  count=$(drive window-items --caption="$caption" --id=107 | sed -n 's/^count=//p')
  printf '%-14s %d lines logged: window %.2f s (click to idle), CLI %.2f s (process start to end): %.2fx\n' \
    "$1" "$count" "$window_time" "$cli_time" "$(echo "$window_time / $cli_time" | bc -l)"
  cmp -s "$work/$2" "$work/cli-$2" || echo "  the window and the CLI wrote different playlists"
done
