#!/usr/bin/env bash
# Strip non-existant songs on an album library against bare per-entry existence questions of
# the same songs: on the local disk (natively and under Wine), then on a slow volume, a FUSE
# pass-through (bench/slow_fs.c) that answers every request 1 ms late, as a network share.
# Usage: bash bench/library_bench.sh [local-lines [slow-lines]]   (defaults 200000 and 5000)
# CUT=1 also runs playlist_bench --cut on each (listing against asking, 1 to 12 songs an album).
# Needs build/native and build/windows with playlist_bench built; the slow volume needs root,
# /dev/fuse and libfuse3 (scripts/setup.sh) and is skipped, saying why, without them.
set -uo pipefail
cd "$(dirname "$0")/.."
local_lines=${1:-200000}
slow_lines=${2:-5000}
native=build/native/bench/playlist_bench
windows=build/windows/playlist_bench.exe
cut() { [ -z "${CUT:-}" ] || "$@"; }  # runs its command only with CUT set
export WINEPREFIX=${WINEPREFIX:-/tmp/wp-bench} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" LC_ALL=C.UTF-8

echo "== local disk, native ($local_lines lines)"
[ -x "$native" ] && "$native" --library "" "$local_lines" 3
[ -x "$native" ] && cut "$native" --cut "" "$local_lines" 3
echo "== local disk, Wine ($local_lines lines)"
[ -f "$windows" ] && wine "$windows" --library "" "$local_lines" 3
[ -f "$windows" ] && cut wine "$windows" --cut "" "$local_lines" 3

echo "== slow volume, 1 ms per request ($slow_lines lines)"
why=""
[ "$(id -u)" -eq 0 ] || why="not root"
[ -e /dev/fuse ] || why="no /dev/fuse"
command -v fusermount3 >/dev/null && pkg-config --exists fuse3 || why="libfuse3 not installed (scripts/setup.sh)"
if [ -n "$why" ]; then
  echo "skipped: $why"
  exit 0
fi
work=$(mktemp -d /tmp/tallowmere-slow.XXXXXX)
mkdir -p "$work/source" "$work/mount"
gcc -O2 -o "$work/slow_fs" bench/slow_fs.c $(pkg-config --cflags --libs fuse3) || exit 1
"$native" --library "$work/source/" "$slow_lines" 0   # the files, made on the disk underneath
# Many requests at once, as a network share serves them (libfuse's default is 10 threads).
"$work/slow_fs" "$work/source" "$work/mount" -f -o max_threads=64 2>/dev/null &
fs=$!
trap 'fusermount3 -u "$work/mount" 2>/dev/null; wait $fs 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do mountpoint -q "$work/mount" && break; sleep 0.1; done
mountpoint -q "$work/mount" || { echo "skipped: the FUSE volume did not mount"; exit 0; }
echo "-- native"
"$native" --library "$work/mount/" "$slow_lines" 1
cut "$native" --cut "$work/mount/" "$slow_lines" 1
echo "-- Wine"
wine "$windows" --library "Z:${work//\//\\}\\mount\\" "$slow_lines" 1
cut wine "$windows" --cut "Z:${work//\//\\}\\mount\\" "$slow_lines" 1
