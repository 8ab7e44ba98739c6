#!/usr/bin/env bash
# Relink Moved Songs in the window against tallowmere-cli on the same playlist and library,
# end to end under Wine, one run each: a playlist of 10,000 entries whose songs all moved, a
# library of 10,000 files (100 artists, 10 albums each, 10 songs an album, every name its own).
#   dry run: the window from the last answer before the run (No to "Add another folder?") to
#            the question "Relink N songs in ...?" (the library walked, every entry matched,
#            every line in the error log), timed inside the driver's process; the CLI's
#            `relink --dry-run` from its process start to its end (its log written to a file).
#   write:   the window from Yes to its inputs enabled again (backup, rewrite, the run over);
#            a plain read and replace of the same playlist (read_replace_bench: the file read,
#            written beside itself, flushed and renamed in place), timed inside its process, and
#            there too the write the run makes after Yes (the same file layer, with its backup).
# The goal is at most 1.2x in each. The window's playlist is compared with the CLI's.
# The prefix (WINEPREFIX, /tmp/wp-relink-bench by default) is set to run its programs in Wine's
# virtual desktop: on a bare X server with no window manager Wine waits two seconds for a
# manager that never answers whenever a box closes, which no user with a desktop sees.
# Usage: DISPLAY=:N bash bench/window_relink_bench.sh [entries]   (build/windows must be built)
set -uo pipefail
cd "$(dirname "$0")/.."
entries=${1:-10000}
export WINEPREFIX=${WINEPREFIX:-/tmp/wp-relink-bench} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" LC_ALL=C.UTF-8
[ -n "${DISPLAY:-}" ] || { echo "skipped: no X display (DISPLAY)"; exit 0; }
build=$PWD/build/windows
exe=$build/tallowmere.exe cli=$build/tallowmere-cli.exe driver=$build/tallowmere-driver.exe
baseline=$build/read_replace_bench.exe
caption="Kestrane - Tallowmere - Build 3"
work=$(mktemp -d /tmp/tallowmere-relink-bench.XXXXXX)
app=""
trap '[ -n "$app" ] && kill $app 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
win() { printf 'Z:%s' "${1//\//\\}"; }
now() { date +%s.%N; }
drive() { timeout 900 wine "$driver" "$@" --exe=tallowmere.exe 2>/dev/null | tr -d '\r'; }
value() { sed -n "s/^$1=//p" | head -n 1; }

[ -d "$WINEPREFIX" ] || { wine wineboot -i >/dev/null 2>&1; wineserver -w; }
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d bench /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v bench /d 1024x768 /f >/dev/null 2>&1

# The library, and the playlist naming each of its songs where it was before the move.
mkdir -p "$work/Library" "$work/Lists"
awk -v n="$entries" -v root="$work/Library" 'BEGIN {
  for (i = 0; i < n; i++) {
    artist = int(i / 100); album = int(i / 10) % 10
    folder = sprintf("Artist %03d/Album %02d of the Artist", artist, album)
    if (i % 10 == 0) print folder > "/dev/stderr"
    printf "%s/%s/%02d Song Title of Track %05d.mp3\n", root, folder, i % 10 + 1, i
  }
}' 2>"$work/folders" >"$work/songs"
(cd "$work/Library" && xargs -d '\n' mkdir -p <"$work/folders")
xargs -d '\n' touch <"$work/songs"
{
  printf '#EXTM3U\r\n'
  sed -e "s|^$work/Library/|Q:/Old Music/|" -e 's|/|\\|g' -e 's/$/\r/' "$work/songs"
} >"$work/Lists/Moved.m3u"
cp "$work/Lists/Moved.m3u" "$work/original.m3u"
cp "$work/original.m3u" "$work/Lists/Cli.m3u"
library_win=$(win "$work/Library")

(cd "$work/Lists" && exec wine "$exe") >/dev/null 2>&1 &
app=$!
drive wait-window --caption="$caption" --visible=1 --timeout=60000 >/dev/null || { echo "the window did not show"; exit 1; }

# ---- the CLI's dry run --------------------------------------------------------------------------
start=$(now)
wine "$cli" --version >/dev/null 2>&1
version_time=$(echo "$(now) - $start" | bc)
start=$(now)
wine "$cli" relink --dry-run --in "$library_win" "$(win "$work/Lists/Cli.m3u")" >"$work/cli.log" 2>"$work/cli.err"
cli_time=$(echo "$(now) - $start" | bc)
cli_lines=$(wc -l <"$work/cli.log")

# ---- the window: the menu, the picker, the dry run, Yes ------------------------------------------
drive user-click --caption="$caption" --id=106 --index=1 --right >/dev/null  # Moved.m3u (after Cli.m3u)
drive menu-wait >/dev/null || { echo "no menu"; exit 1; }
drive user-keys --keys=r >/dev/null
drive picker --title="Relink Moved Songs: Music Library" --folder="$library_win" >/dev/null ||
  { echo "the picker did not take the library"; exit 1; }
dry=$(drive press --title=Tallowmere --button=No --then-box --timeout=600000)
window_dry=$(echo "$(value then_ms <<<"$dry") / 1000" | bc -l)
question=$(drive wait-box --title=Tallowmere)
found_caption="Relink Moved Songs: $entries files found"
window_lines=$(drive window-items --caption="$found_caption" --id=107 | value count)
write=$(drive press --title=Tallowmere --button=Yes --then-enabled=106 --timeout=600000)
window_write=$(echo "$(value then_ms <<<"$write") / 1000" | bc -l)

# ---- the baseline of the write: a plain read and replace of the same playlist ----------------------
cp "$work/original.m3u" "$work/Lists/Plain.m3u"
plain=$(wine "$baseline" "$(win "$work/Lists/Plain.m3u")" 2>/dev/null | tr -d '\r')
plain_write=$(echo "$(value read_replace_ms <<<"$plain") / 1000" | bc -l)
run_write=$(echo "$(value write_with_backup_ms <<<"$plain") / 1000" | bc -l)

printf 'playlist: %d entries, %d bytes; library: %d files\n' "$entries" "$(stat -c %s "$work/original.m3u")" \
  "$(wc -l <"$work/songs")"
printf 'tallowmere-cli --version alone (a process started and ended): %.2f s\n' "$version_time"
printf '%s\n' "$(value text <<<"$question")" | sed 's/^/question: /'
printf 'dry run: window %.2f s (No to the question, %s lines logged), CLI %.2f s (process start to end, %s lines): %.2fx (goal 1.2x)\n' \
  "$window_dry" "$window_lines" "$cli_time" "$cli_lines" "$(echo "$window_dry / $cli_time" | bc -l)"
printf 'write:   window %.3f s (Yes to idle: backup and rewrite), plain read and replace %.3f s: %.2fx (goal 1.2x)\n' \
  "$window_write" "$plain_write" "$(echo "$window_write / $plain_write" | bc -l)"
printf '         of which closing the question box %.3f s\n' "$(echo "$(value closed_ms <<<"$write") / 1000" | bc -l)"
printf '         the write itself (new content and backup put in place, in one process) %.3f s: %.2fx the plain read and replace\n' \
  "$run_write" "$(echo "$run_write / $plain_write" | bc -l)"

# The window wrote what the CLI writes for the same input.
wine "$cli" relink --quiet --in "$library_win" "$(win "$work/Lists/Cli.m3u")" >/dev/null 2>&1
cmp -s "$work/Lists/Moved.m3u" "$work/Lists/Cli.m3u" || echo "  the window and the CLI wrote different playlists"
cmp -s "$work/Lists/Moved.m3u_backup" "$work/original.m3u" || echo "  the window's backup is not the playlist as it was"
