#!/usr/bin/env bash
# The three rewriting buttons from outside, on real files: Remove Tag Info (the file, its
# backup, the cleared log), Strip non-existant songs on a long playlist ("Busy" and the
# disabled inputs while it runs, the log and the resolved paths after it) and Strip
# Duplicates (the log lines).
source "$(dirname "$0")/lib.sh"
e2e_need_display

C="--caption=$E2E_MAIN_CAPTION"
hex() { od -An -tx1 "$1" | tr -d ' \n'; }

work=$(e2e_fresh_dir run)
mkdir -p "$work/Songs"
printf 'song a' >"$work/Songs/a.mp3"
printf 'song b' >"$work/Songs/b.mp3"
work_win=$(e2e_winpath "$work")

printf '#EXTM3U\r\nSongs\\a.mp3\r\nSONGS\\A.MP3\r\n' >"$work/dupes.m3u"
printf '#EXTM3U\r\n#EXTINF:1,A\r\nSongs\\a.mp3\r\n\r\n#extinf:2,B\nSongs\\b.mp3\r#EXTINF' >"$work/tags.m3u"
cp "$work/tags.m3u" "$work/tags.original"
# Long enough for a run of some seconds under Wine: 400,000 songs that exist, one that does not.
# Written in another letter case than the files', so that no folder listing answers for them
# and every entry is asked about by itself.
{
  printf '#EXTM3U\r\n'
  seq 1 200000 | sed 's/.*/Songs\\A.MP3\r/'
  printf '#EXTINF:3,Gone\r\nSongs\\gone.mp3\r\n'
  seq 1 200000 | sed 's/.*/Songs\\B.MP3\r/'
} >"$work/long.m3u"

e2e_start "$work"
e2e_driver wait-window "$C" --visible=1 --timeout=60000 || e2e_fail "the main window did not show"

# ---- Strip Duplicates: one log line per dropped repeat, as read -------------------------------
e2e_driver window-set-text "$C" --id=101 --text="$work_win\\dupes.m3u"
e2e_driver window-click "$C" --id=113
sleep 2
e2e_driver no-box --for=500 || e2e_fail "Strip Duplicates showed a box"
e2e_driver window-items "$C" --id=107
e2e_expect "count=1" 'item.0=Duplicate SONGS\\A.MP3'
[ "$(hex "$work/dupes.m3u")" == "$(printf '#EXTM3U\r\nSongs\\a.mp3\r\n' | od -An -tx1 | tr -d ' \n')" ] ||
  e2e_fail "Strip Duplicates wrote $(hex "$work/dupes.m3u")"

# ---- Remove Tag Info: the file, its backup, the cleared log, no message -------------------------
e2e_driver window-set-text "$C" --id=101 --text="$work_win\\tags.m3u"
e2e_driver window-click "$C" --id=110
sleep 2
e2e_driver no-box --for=500 || e2e_fail "Remove Tag Info showed a box"
# A lone LF ends a line: "#extinf:2,B" (not the exact tag name, so kept) and its song become two
# lines; the last "#EXTINF", without a line end, is dropped.
expected=$(printf '#EXTM3U\r\nSongs\\a.mp3\r\n#extinf:2,B\r\nSongs\\b.mp3\r\n' | od -An -tx1 | tr -d ' \n')
[ "$(hex "$work/tags.m3u")" == "$expected" ] || e2e_fail "Remove Tag Info wrote $(hex "$work/tags.m3u")"
cmp -s "$work/tags.m3u_backup" "$work/tags.original" || e2e_fail "the backup is not the playlist as it was"
e2e_driver window-inspect "$C"
e2e_expect "ctl.112.visible=0" "ctl.110.enabled=1" "ctl.101.enabled=1" "window.caption=$E2E_MAIN_CAPTION"
e2e_driver window-items "$C" --id=107
e2e_expect "count=0"

# ---- Strip non-existant songs on a long playlist: busy while it runs -------------------------------
e2e_driver window-set-text "$C" --id=101 --text="$work_win\\long.m3u"
e2e_driver window-click "$C" --id=111
# The driver reads the controls one after the other (ids in order, lblStatus 112 after the
# inputs), so a snapshot is taken as "during the run" only when it follows one that already
# saw "Busy" and still sees it at its end.
seen_busy=0
for _ in $(seq 1 100); do
  e2e_driver window-inspect "$C" >/dev/null
  [ "$(e2e_value ctl.112.visible)" == 1 ] || continue
  e2e_driver window-inspect "$C" >/dev/null
  if [ "$(e2e_value ctl.112.visible)" == 1 ]; then
    seen_busy=1
    e2e_expect "ctl.101.enabled=0" "ctl.104.enabled=0" "ctl.105.enabled=0" "ctl.106.enabled=0" \
      "ctl.110.enabled=0" "ctl.111.enabled=0"
    break
  fi
done
[ "$seen_busy" == 1 ] || e2e_fail "\"Busy\" never showed during a long run"
# Busy is hidden before the inputs come back: wait for both.
for _ in $(seq 1 120); do
  e2e_driver window-inspect "$C" >/dev/null
  [ "$(e2e_value ctl.112.visible)" == 0 ] && [ "$(e2e_value ctl.101.enabled)" == 1 ] && break
  sleep 0.5
done
e2e_expect "ctl.112.visible=0" "ctl.101.enabled=1" "ctl.111.enabled=1" "ctl.113.enabled=1"
e2e_driver no-box --for=500 || e2e_fail "Strip non-existant songs showed a box"
e2e_driver window-items "$C" --id=107
e2e_expect "count=1" "item.0=Missing: gone.mp3"
# Kept songs come back as full paths; the tag line of the missing song stays.
lines=$(tr -d '\r' <"$work/long.m3u" | wc -l)
[ "$lines" -eq 400002 ] || e2e_fail "the stripped playlist has $lines lines, not 400002"
a_full="$work_win\\Songs\\A.MP3"
b_full="$work_win\\Songs\\B.MP3"
[ "$(sed -n 2p "$work/long.m3u")" == "$a_full"$'\r' ] || e2e_fail "line 2 is $(sed -n 2p "$work/long.m3u" | od -c | head -2)"
[ "$(sed -n 200002p "$work/long.m3u")" == $'#EXTINF:3,Gone\r' ] || e2e_fail "the tag line of the missing song is gone"
[ "$(sed -n 200003p "$work/long.m3u")" == "$b_full"$'\r' ] || e2e_fail "line 200003 is $(sed -n 200003p "$work/long.m3u")"
grep -q 'gone.mp3' "$work/long.m3u" && e2e_fail "the missing song is still listed"
rm -f "$work/long.m3u" "$work/long.m3u_backup"  # 40 MB
e2e_still_running
e2e_log "PASS"
