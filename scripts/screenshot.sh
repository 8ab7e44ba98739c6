#!/usr/bin/env bash
# Takes docs/tallowmere.png: the real tallowmere.exe under Wine, in Wine's virtual desktop (which
# draws the window's frame and caption), the demo playlist selected in the file list and
# "Strip non-existant songs" run on it, so the error log holds its lines. Then
# docs/tallowmere-menu.png: the file list's context menu open on D:\Music\Playlists\Party.m3u,
# a drive as a user has it (D: mapped to a folder of the build).
#
#   bash scripts/screenshot.sh [DISPLAY_NUMBER]     (default 74; an Xvfb of its own is started)
#
# Uses the build in build/windows (tallowmere, tallowmere-driver) and a Wine prefix of its own
# (WINEPREFIX, /tmp/tallowmere-screenshot-prefix by default) whose programs all share one
# virtual desktop, as `wine explorer /desktop=shot,800x600` would give a single program.
set -euo pipefail
cd "$(dirname "$0")/.."
display=${1:-74}
out=docs/tallowmere.png
menu_out=docs/tallowmere-menu.png
export WINEPREFIX=${WINEPREFIX:-/tmp/tallowmere-screenshot-prefix} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=" LC_ALL=C.UTF-8 DISPLAY=:$display

cmake --preset windows >/dev/null
cmake --build --preset windows --target tallowmere tallowmere-driver >/dev/null
exe=$PWD/build/windows/tallowmere.exe
driver=$PWD/build/windows/tallowmere-driver.exe
work=$PWD/build/screenshot
rm -rf "$work"
cp -r examples "$work"
# A few more songs that are not there, so the error log shows several lines.
printf '#EXTINF:203,Harbour Lights - Old Mill Road\r\nSongs\\Old Mill Road.mp3\r\n#EXTINF:256,Fenwick - Encore (live)\r\nLive\\Encore.mp3\r\n#EXTINF:198,Fenwick - Northern Line\r\nSongs\\Northern Line.mp3\r\n' \
  >>"$work/Demo Mix.m3u"

# D: for the second picture: a music folder with its playlists, as a user keeps them.
music=$PWD/build/screenshot-d
rm -rf "$music"
mkdir -p "$music/Music/Playlists" "$music/Music/Harbour Lights" "$music/Music/Fenwick"
cp examples/Songs/*.mp3 "$music/Music/Harbour Lights/"
{
  printf '#EXTM3U\r\n'
  for song in "Morning Tide" "Copper Lantern" "Slow River" "Night Market"; do
    printf '#EXTINF:214,Harbour Lights - %s\r\nD:\\Music\\Harbour Lights\\%s.mp3\r\n' "$song" "$song"
  done
} >"$music/Music/Playlists/Party.m3u"
printf '#EXTM3U\r\n' >"$music/Music/Playlists/Road Trip.m3u"
printf '#EXTM3U\r\n' >"$music/Music/Playlists/Sunday Morning.m3u"

Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
sleep 1
[ -d "$WINEPREFIX" ] || wine wineboot -i >/dev/null 2>&1
rm -f "$WINEPREFIX/dosdevices/d:"
ln -s "$music" "$WINEPREFIX/dosdevices/d:"
# Every program of this prefix on one virtual desktop, so the driver sees the window there.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shot /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shot /d 800x600 /f >/dev/null 2>&1

drive() { timeout 60 wine "$driver" "$@" --exe=tallowmere.exe 2>/dev/null | tr -d '\r'; }
caption="--caption=Kestrane - Tallowmere - Build 3"

(cd "$work" && exec wine "$exe") >/dev/null 2>&1 &
app=$!
drive wait-window "$caption" --visible=1 --timeout=60000 >/dev/null
# The file list (106) shows the demo folder's playlists: select the first, Demo Mix.m3u.
drive window-select "$caption" --id=106 --index=0 >/dev/null
# Strip non-existant songs (111): its log names the missing song.
drive window-click "$caption" --id=111 >/dev/null
for _ in $(seq 1 50); do
  drive window-items "$caption" --id=107 | grep -q '^count=4' && break
  sleep 0.2
done
sleep 1
# The window alone: it stands at the desktop's top-left corner.
xwd -root -silent | xwdtopnm 2>/dev/null | pnmcut -left 0 -top 0 -width 472 -height 254 | pnmtopng >"$out"
echo "$out"

# ---- the context menu on D:\Music\Playlists\Party.m3u ---------------------------------------
drive close-window "$caption" >/dev/null
wait "$app" 2>/dev/null
app=""
# The drive as the running Wine server knows drives (the link above is how files reach it).
drive define-drive --drive=D: --target="Z:${music//\//\\}" >/dev/null
# Started in D:\Music\Playlists, so the lists show the drive as the user knows it.
wine start /d 'D:\Music\Playlists' "Z:${exe//\//\\}" >/dev/null 2>&1
drive wait-window "$caption" --visible=1 --timeout=60000 >/dev/null
# The file list (106): Party.m3u, Road Trip.m3u, Sunday Morning.m3u. A right-click selects
# Party.m3u and opens the menu.
drive user-click "$caption" --id=106 --index=0 --right >/dev/null
drive menu-wait --timeout=20000 >/dev/null
sleep 1
# Read back through Wine's own screen (X shows the menu's window black): the window's place,
# which holds the menu.
drive window-screenshot "$caption" --file="Z:${work//\//\\}\\menu.bmp" >/dev/null
bmptopnm "$work/menu.bmp" 2>/dev/null | pnmtopng >"$menu_out"
drive user-keys --keys=escape >/dev/null
echo "$menu_out"
