#!/usr/bin/env bash
# Watch mode of the real program: the start (missing main playlist, fresh main backup, the
# switch in capitals), one watcher per session, and the real 5000 ms timer catching a
# shrunk main playlist (restored on Yes) and a grown one (archived under the clock's name).
# The main playlist is the prefix's own C:\Program Files\Winamp\winamp.m3u.
source "$(dirname "$0")/lib.sh"
e2e_need_display

WINAMP="$E2E_C_DRIVE/Program Files/Winamp"
PLAYLIST="$WINAMP/winamp.m3u"
BACKUP="$WINAMP/winamp.m3u.bak"
work=$(e2e_fresh_dir run)
first_watcher=""

cleanup_all() {
  e2e_cleanup
  if [ -n "$first_watcher" ]; then E2E_APP_PID=$first_watcher; e2e_cleanup; fi
  rm -rf "$WINAMP"/winamp.m3u*
}
trap cleanup_all EXIT

fresh_folder() {
  mkdir -p "$WINAMP"
  rm -rf "$WINAMP"/winamp.m3u*
}
bytes() { od -An -c "$1"; }
# wait_copy A B SECONDS: A and B become byte for byte the same within SECONDS.
wait_copy() {
  for _ in $(seq 1 $(( $3 * 10 ))); do
    cmp -s "$1" "$2" && return 0
    sleep 0.1
  done
  return 1
}

# ---- No main playlist: "Cannot Watch File", the end, the main backup untouched ----------
fresh_folder
printf 'an older backup\r\n' >"$BACKUP"
backup_before=$(bytes "$BACKUP")
e2e_start "$work" -watchfile
e2e_driver press --title="Cannot Watch File" --button=OK --timeout=60000 ||
  e2e_fail "missing playlist: no Cannot Watch File box"
e2e_expect 'text=Tallowmere\r\n\r\nPlaylist missing' "buttons=OK" "icon=critical"
e2e_wait_exit 20
[ "$(bytes "$BACKUP")" == "$backup_before" ] || e2e_fail "missing playlist: the main backup was touched"
e2e_log "ok: watch mode without a main playlist"

# ---- The main backup cannot be replaced: a box naming it and the reason, then the end ---
fresh_folder
printf 'C:\\Music\\one.mp3\r\n' >"$PLAYLIST"
mkdir "$BACKUP"  # a folder where the main backup should be: the copy fails
e2e_start "$work" -watchfile
e2e_driver press --title="Cannot Watch File" --button=OK --timeout=60000 ||
  e2e_fail "copy failure: no Cannot Watch File box"
e2e_expect "buttons=OK" "icon=critical"
text=$(e2e_value text)
[[ $text == *'C:\\Program Files\\Winamp\\winamp.m3u.bak\r\n\r\n'?* ]] ||
  e2e_fail "copy failure: the box does not name the main backup and a reason: $text"
e2e_wait_exit 20
[ -d "$BACKUP" ] && [ -z "$(ls -A "$BACKUP")" ] || e2e_fail "copy failure: the folder was changed"
rmdir "$BACKUP"
e2e_log "ok: a main backup that cannot be written ends watch mode with the reason"

# ---- -watchfile, -WATCHFILE: the main backup becomes a byte copy, no window, no box ----
for switch in -watchfile -WATCHFILE; do
  fresh_folder
  printf '#EXTM3U\r\n#EXTINF:61,Ab - Cd\r\nC:\\Music\\one.mp3\r\nC:\\Music\\two.mp3\r\n' >"$PLAYLIST"
  printf 'the backup of an earlier run, longer than the playlist is now\r\n' >"$BACKUP"
  e2e_start "$work" "$switch"
  wait_copy "$PLAYLIST" "$BACKUP" 30 || e2e_fail "$switch: the main backup is not a copy of the playlist"
  e2e_driver windows --caption="$E2E_MAIN_CAPTION" --visible-only
  e2e_expect "count=0"
  e2e_driver no-box --for=2000 || e2e_fail "$switch: a box at start"
  e2e_still_running
  [ "$(ls "$WINAMP" | wc -l)" -eq 2 ] || e2e_fail "$switch: the start archived the earlier backup"
  e2e_log "ok: $switch starts watching"
done
first_watcher=$E2E_APP_PID

# ---- A second watcher of the session is refused and touches nothing --------------------
# Same length, other content: the running watcher leaves it alone (lengths only), while a
# second watcher that copied would show in the main backup.
printf '#EXTM3U\r\n#EXTINF:61,Ab - Cd\r\nC:\\Music\\two.mp3\r\nC:\\Music\\one.mp3\r\n' >"$PLAYLIST"
backup_before=$(bytes "$BACKUP")
E2E_APP_PID=""
e2e_start "$work" -watchfile
e2e_driver press --title="Already Watching" --button=OK --timeout=60000 ||
  e2e_fail "second watcher: no refusal box"
e2e_expect 'text=Tallowmere -watchfile\r\n\r\nThe main playlist is already being watched by another Tallowmere. This one will now end.' \
  "buttons=OK"
e2e_wait_exit 20
E2E_APP_PID=$first_watcher
first_watcher=""
sleep 6  # a tick of the first watcher: equal lengths, nothing to do
[ "$(bytes "$BACKUP")" == "$backup_before" ] || e2e_fail "second watcher: the main backup was touched"
e2e_still_running
e2e_log "ok: a second watcher is refused"

# ---- The real timer: a shrunk playlist is caught and restored on Yes -------------------
printf '#EXTM3U\r\n' >"$PLAYLIST"
shrunk_at=$SECONDS
e2e_driver wait-box --title="Restore last playlist" --timeout=12000 ||
  e2e_fail "shrunk: no question within 12 s"
e2e_expect 'text=Tallowmere - Main Playlist Watcher\r\n\r\nThe playlist appears to have been altered, and has decreased in size. Would you like to restore the previous version of the playlist?' \
  "buttons=Yes|No" "default=Yes" "icon=question"
e2e_log "question after $((SECONDS - shrunk_at)) s"
sleep 11  # two more ticks fall due while the question is open: no second box
e2e_driver windows --box --visible-only
e2e_expect "count=1"
e2e_driver press --title="Restore last playlist" --button=Yes --timeout=5000 ||
  e2e_fail "shrunk: could not answer Yes"
e2e_driver press --title=Tallowmere --button=OK --timeout=10000 || e2e_fail "restored: no box"
e2e_expect "text=Restored successfully" "buttons=OK" "icon=none"
cmp -s "$PLAYLIST" "$BACKUP" || e2e_fail "restored: the playlist is not the main backup"
[ "$(bytes "$BACKUP")" == "$backup_before" ] || e2e_fail "restored: the main backup changed"
e2e_log "ok: a shrunk playlist is restored on Yes"

# ---- The real timer: a grown playlist is archived under the clock's name, silently -----
old_backup=$(bytes "$BACKUP")
stamp_before=$(date +%-H.%-d.%-m)
printf 'C:\\Music\\three.mp3\r\n' >>"$PLAYLIST"
wait_copy "$PLAYLIST" "$BACKUP" 12 || e2e_fail "grown: the main backup was not refreshed within 12 s"
stamp_after=$(date +%-H.%-d.%-m)
archives=("$WINAMP"/winamp.m3u.bak.*)
[ "${#archives[@]}" -eq 1 ] && [ -f "${archives[0]}" ] || e2e_fail "grown: not one archive: ${archives[*]}"
name=${archives[0]##*/}
[[ $name == "winamp.m3u.bak.$stamp_before" || $name == "winamp.m3u.bak.$stamp_after" ]] ||
  e2e_fail "grown: archive $name, expected winamp.m3u.bak.$stamp_before"
[ "$(bytes "${archives[0]}")" == "$old_backup" ] || e2e_fail "grown: the archive is not the earlier backup"
e2e_driver no-box --for=1000 || e2e_fail "grown: a box"
e2e_log "ok: a grown playlist is archived as $name"

e2e_log "PASS"
