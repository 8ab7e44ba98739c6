#!/usr/bin/env bash
# Mouse and keyboard input made while a run is busy is dropped when the run ends, however
# short the run: a run that never lets the window's events run (one playlist line of
# 120 MB: read, backed up and rewritten without a pause) leaves the input waiting in the
# queue, where it must not start a second run (or open the file list's menu) once the inputs
# are enabled again. Input made after the run is kept, and Alt+F4 during a run still closes
# the window after it.
# The input is real (SendInput), as a user's clicks and keys are.
source "$(dirname "$0")/lib.sh"
e2e_need_display

C="--caption=$E2E_MAIN_CAPTION"
hex_head() { head -c "$2" "$1" | od -An -tx1 | tr -d ' \n'; }

work=$(e2e_fresh_dir run)
make_playlist() {
  { printf 'a.mp3\r\na.mp3\r\n#EXTINF:1,x\r\n'; head -c 120000000 /dev/zero | tr '\0' 'b'; printf '.mp3\r\n'; } >"$work/long.m3u"
  rm -f "$work/long.m3u_backup"
}
make_playlist
head_before=$(hex_head "$work/long.m3u" 40)
long_win=$(e2e_winpath "$work/long.m3u")

e2e_start "$work"
e2e_driver wait-window "$C" --visible=1 --timeout=60000 || e2e_fail "the main window did not show"
e2e_driver window-set-text "$C" --id=101 --text="$long_win"

# ---- during a run: a click on Strip Duplicates and Space on the focused Remove Tag Info -------
# Both wait in drivers of their own for "Busy" and act at once, early in the run (one mouse at
# a time: two drivers moving the pointer would race).
during_run() {  # NAME ARGS...: a driver started now that acts once "Busy" shows
  local name=$1
  shift
  timeout 120 wine "$TALLOWMERE_DRIVER" "$@" "$C" --when-visible=112 --timeout=60000 --exe=tallowmere.exe \
    2>/dev/null | tr -d '\r' >"$E2E_WORK/$name.out" &
}
during_run click user-click --id=113
click_driver=$!
during_run keys user-keys --keys=space
keys_driver=$!
sleep 3  # both drivers are up and watching
e2e_driver user-click "$C" --id=110 || e2e_fail "could not click Remove Tag Info"
wait "$click_driver" "$keys_driver"
for name in click keys; do
  sed "s/^/[$E2E_NAME]   $name: /" "$E2E_WORK/$name.out"
  grep -qx 'still_visible=1' "$E2E_WORK/$name.out" ||
    e2e_fail "the $name was not made during the run; make the playlist longer"
done
e2e_driver window-wait-state "$C" --id=113 --enabled=1 --timeout=60000 || e2e_fail "the run did not end"
sleep 2  # what the queue still held has been handled by now
e2e_driver no-box --for=500 || e2e_fail "a box showed after the run"
e2e_driver window-items "$C" --id=107
e2e_expect "count=0"  # Strip Duplicates would have logged "Duplicate a.mp3"
# Remove Tag Info ran once: both songs and no tag line; its backup is the playlist as it was
# (a second Remove Tag Info would have backed up the first one's result).
[ "$(hex_head "$work/long.m3u" 16)" == "$(printf 'a.mp3\r\na.mp3\r\nbb' | od -An -tx1 | tr -d ' \n')" ] ||
  e2e_fail "the playlist starts $(hex_head "$work/long.m3u" 16)"
[ "$(hex_head "$work/long.m3u_backup" 40)" == "$head_before" ] || e2e_fail "the backup is not the playlist as it was"

# ---- after the run the same click is kept -----------------------------------------------------
e2e_driver user-click "$C" --id=113 || e2e_fail "could not click Strip Duplicates"
e2e_driver window-wait-state "$C" --id=113 --enabled=0 --timeout=10000
e2e_driver window-wait-state "$C" --id=113 --enabled=1 --timeout=60000 || e2e_fail "Strip Duplicates did not end"
e2e_driver window-items "$C" --id=107
e2e_expect "count=1" "item.0=Duplicate a.mp3"
[ "$(hex_head "$work/long.m3u" 9)" == "$(printf 'a.mp3\r\nbb' | od -An -tx1 | tr -d ' \n')" ] ||
  e2e_fail "Strip Duplicates did not rewrite the playlist"

# ---- a right-click on the file list during a run opens no menu, then or after it ---------------
make_playlist
during_run menu user-click --id=106 --index=0 --right
menu_driver=$!
sleep 3
e2e_driver user-click "$C" --id=110 || e2e_fail "could not click Remove Tag Info"
wait "$menu_driver"
grep -qx 'still_visible=1' "$E2E_WORK/menu.out" || e2e_fail "the right-click was not made during the run"
e2e_driver window-wait-state "$C" --id=113 --enabled=1 --timeout=60000 || e2e_fail "the run did not end"
e2e_driver menu-wait --timeout=2000 && e2e_fail "the right-click made during the run opened the menu"

# ---- Alt+F4 during a run closes the window once the run is over --------------------------------
make_playlist
during_run close user-keys --keys=alt+f4
close_driver=$!
sleep 3
e2e_driver user-click "$C" --id=110 || e2e_fail "could not click Remove Tag Info"
wait "$close_driver"
grep -qx 'still_visible=1' "$E2E_WORK/close.out" || e2e_fail "Alt+F4 was not pressed during the run"
e2e_wait_exit 60
[ "$E2E_EXIT" -eq 0 ] || e2e_fail "exit status $E2E_EXIT"
[ "$(hex_head "$work/long.m3u_backup" 40)" == "$head_before" ] || e2e_fail "the run did not end before the window closed"
[ "$(hex_head "$work/long.m3u" 16)" == "$(printf 'a.mp3\r\na.mp3\r\nbb' | od -An -tx1 | tr -d ' \n')" ] ||
  e2e_fail "the run did not finish its rewrite before the window closed"
rm -f "$work/long.m3u" "$work/long.m3u_backup"
e2e_log "PASS"
