#!/usr/bin/env bash
# "Copy to One Folder" from the window: the copies and the new playlist on disk, the final box,
# the caption the run leaves, the error log, and the inputs enabled again afterwards.
source "$(dirname "$0")/lib.sh"
e2e_need_display

END_CAPTION="Copy songs in a Winamp PL to a seperate directory"

work=$(e2e_fresh_dir run)
mkdir -p "$work/lists/Music" "$work/songs"
printf 'song a' >"$work/lists/Music/a.mp3"
printf 'song b' >"$work/songs/b.mp3"
printf 'other a' >"$work/songs/a.mp3"
songs_win=$(e2e_winpath "$work/songs")
# A tag line, a relative entry, an empty line, an absolute entry, a missing song, and a second
# song named a.mp3.
printf '%s\r\n' '#EXTINF:1,T' 'Music\a.mp3' '' "$songs_win\\b.mp3" 'missing.mp3' "$songs_win\\a.mp3" \
  >"$work/lists/mix.m3u"
before=$(od -An -tx1 "$work/lists/mix.m3u")

e2e_start "$work/lists"
e2e_driver wait-window "--caption=$E2E_MAIN_CAPTION" --visible=1 --timeout=60000 || e2e_fail "the main window did not show"
e2e_driver window-set-text "--caption=$E2E_MAIN_CAPTION" --id=101 --text="$(e2e_winpath "$work/lists/mix.m3u")"
e2e_driver window-click "--caption=$E2E_MAIN_CAPTION" --id=102
e2e_driver wait-box --title=Tallowmere --timeout=30000 || e2e_fail "no final box"
e2e_expect "text=Finished with 1 errors" "buttons=OK" "icon=none"

C="--caption=$END_CAPTION"
e2e_driver window-inspect "$C" || e2e_fail "the caption is not '$END_CAPTION'"
e2e_expect "ctl.112.visible=0" "ctl.102.enabled=0"
e2e_driver window-items "$C" --id=107
e2e_expect "count=1" "item.0=Couldn't Copy missing.mp3"
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "could not close the final box"
sleep 1
e2e_driver window-inspect "$C"
for id in 101 102 104 105 106 110 111 113; do e2e_expect "ctl.$id.enabled=1"; done
e2e_expect "ctl.112.visible=0"

copies="$work/lists/mix"
[ "$(cd "$copies" && LC_ALL=C ls | tr '\n' '|')" == "a (2).mp3|a.mp3|b.mp3|mix.m3u|" ] || e2e_fail "copy folder holds: $(ls "$copies")"
[ "$(cat "$copies/a.mp3")" == "song a" ] || e2e_fail "a.mp3 is not the first song"
[ "$(cat "$copies/a (2).mp3")" == "other a" ] || e2e_fail "a (2).mp3 is not the second song"
[ "$(cat "$copies/b.mp3")" == "song b" ] || e2e_fail "b.mp3 was not copied"
[ "$(od -An -tx1 "$copies/mix.m3u" | tr -d ' \n')" == "$(printf '#EXTINF:1,T\r\na.mp3\r\nb.mp3\r\nmissing.mp3\r\na (2).mp3\r\n' | od -An -tx1 | tr -d ' \n')" ] ||
  e2e_fail "the new playlist holds: $(od -c "$copies/mix.m3u")"
[ "$(od -An -tx1 "$work/lists/mix.m3u")" == "$before" ] || e2e_fail "the playlist was changed"
[ ! -e "$work/lists/mix.m3u_backup" ] || e2e_fail "a backup was made"

e2e_driver close-window "$C"
e2e_wait_exit 30
[ "$E2E_EXIT" -eq 0 ] || e2e_fail "exit status $E2E_EXIT"
e2e_log "PASS"
