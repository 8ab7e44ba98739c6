#!/usr/bin/env bash
# The other items of the file list's context menu, opened from the keyboard (Shift+F10, the
# context-menu key) and by a right-click, each picked by its access key: Make Paths Relative
# then Make Paths Absolute (the same entries back), Restore Backup (its question, No, then two
# restores that undo each other), a restore without a backup, Open Containing Folder (Explorer
# with the playlist selected) and the path test; the window at rest afterwards.
source "$(dirname "$0")/lib.sh"
e2e_need_display

C="--caption=$E2E_MAIN_CAPTION"
esc() { printf '%s' "${1//\\/\\\\}"; }  # a value as the driver prints it
hex() { od -An -tx1 "$1" | tr -d ' \n'; }

work=$(e2e_fresh_dir run)
mkdir -p "$work/Music/Sub" "$work/Lists"
printf 'song' >"$work/Music/a.mp3"
printf 'song' >"$work/Music/Sub/b.mp3"
work_win=$(e2e_winpath "$work")
lists_win="$work_win\\Lists"
party_win="$lists_win\\Party.m3u"
absolute=$(printf '#EXTM3U\r\n%s\\Music\\a.mp3\r\n%s\\Music\\Sub\\b.mp3\r\nhttp://radio.example/stream\r\n' "$work_win" "$work_win")
printf '#EXTM3U\r\n%s\\Music\\a.mp3\r\n..\\Music\\Sub\\b.mp3\r\nhttp://radio.example/stream\r\n' "$work_win" >"$work/Lists/Party.m3u"
cp "$work/Lists/Party.m3u" "$work/original.m3u"
printf '#EXTM3U\r\n..\\Music\\a.mp3\r\n' >"$work/Lists/Plain.m3u"
printf '' >"$work/Lists/A First.m3u"

e2e_start "$work/Lists"
e2e_driver wait-window "$C" --visible=1 --timeout=60000 || e2e_fail "the main window did not show"
e2e_driver window-items "$C" --id=106
e2e_expect "count=3" "item.0=A First.m3u" "item.1=Party.m3u" "item.2=Plain.m3u"

# pick KEYS...: the menu is open; an item is picked by its access key; the run it starts ends.
pick() {
  e2e_driver menu-wait || e2e_fail "no menu"
  e2e_driver user-keys --keys="$1"
  e2e_driver menu-wait --gone || e2e_fail "the menu stayed open after '$1'"
}
run_ends() {
  sleep 0.5
  e2e_driver window-wait-state "$C" --id=106 --enabled=1 --timeout=30000 || e2e_fail "the run did not end"
}

# ---- Make Paths Relative (Shift+F10 on the selected playlist) ------------------------------------
e2e_driver user-click "$C" --id=106 --index=1 || e2e_fail "could not select Party.m3u"
e2e_driver user-keys "$C" --keys=shift+f10
pick v
run_ends
e2e_driver no-box --for=500 || e2e_fail "Make Paths Relative showed a box"
relative=$(printf '#EXTM3U\r\n..\\Music\\a.mp3\r\n..\\Music\\Sub\\b.mp3\r\nhttp://radio.example/stream\r\n')
[ "$(cat "$work/Lists/Party.m3u")" == "$relative" ] || e2e_fail "Make Paths Relative wrote $(hex "$work/Lists/Party.m3u")"
cmp -s "$work/Lists/Party.m3u_backup" "$work/original.m3u" || e2e_fail "no backup before Make Paths Relative"
e2e_driver window-items "$C" --id=107
e2e_expect "count=1" "item.0=Rewritten: $(esc "$work_win\\Music\\a.mp3") -> ..\\\\Music\\\\a.mp3"

# ---- Make Paths Absolute (the context-menu key): the same entries, each as its full path ----------
e2e_driver user-keys "$C" --keys=apps
pick a
run_ends
[ "$(cat "$work/Lists/Party.m3u")" == "$absolute" ] || e2e_fail "Make Paths Absolute wrote $(hex "$work/Lists/Party.m3u")"
e2e_driver window-items "$C" --id=107
e2e_expect "count=2" "item.0=Rewritten: ..\\\\Music\\\\a.mp3 -> $(esc "$work_win\\Music\\a.mp3")" \
  "item.1=Rewritten: ..\\\\Music\\\\Sub\\\\b.mp3 -> $(esc "$work_win\\Music\\Sub\\b.mp3")"

# ---- Restore Backup: the question; No keeps everything; two restores undo each other ---------------
restore_question() {
  e2e_driver user-click "$C" --id=106 --index=1 --right || e2e_fail "could not right-click Party.m3u"
  pick b
  e2e_driver wait-box --title=Tallowmere --timeout=20000 || e2e_fail "no question before the restore"
  e2e_expect "text=Put $(esc "$party_win")_backup back? The current playlist becomes the backup." \
    "buttons=Yes|No" "default=Yes" "icon=question"
}
restore_question
e2e_driver press --title=Tallowmere --button=No
run_ends
[ "$(cat "$work/Lists/Party.m3u")" == "$absolute" ] || e2e_fail "No restored all the same"
[ "$(cat "$work/Lists/Party.m3u_backup")" == "$relative" ] || e2e_fail "No changed the backup"
restore_question
e2e_driver press --title=Tallowmere --button=Yes
run_ends
[ "$(cat "$work/Lists/Party.m3u")" == "$relative" ] || e2e_fail "the restore did not put the backup back"
[ "$(cat "$work/Lists/Party.m3u_backup")" == "$absolute" ] || e2e_fail "the replaced playlist is not the backup"
e2e_driver window-items "$C" --id=107
e2e_expect "count=1" "item.0=Restored: $(esc "$party_win")"
restore_question
e2e_driver press --title=Tallowmere --button=Yes
run_ends
[ "$(cat "$work/Lists/Party.m3u")" == "$absolute" ] || e2e_fail "the second restore did not undo the first"
[ "$(cat "$work/Lists/Party.m3u_backup")" == "$relative" ] || e2e_fail "the second restore's backup is wrong"

# ---- Restore Backup without a backup: the box says so, no question -----------------------------------
e2e_driver user-click "$C" --id=106 --index=2 --right
pick b
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "no box for a missing backup"
e2e_expect "text=There is no backup to restore: $(esc "$lists_win\\Plain.m3u")_backup" "buttons=OK" "icon=none"
run_ends
[ -e "$work/Lists/Plain.m3u_backup" ] && e2e_fail "a backup appeared"

# ---- Open Containing Folder: Explorer on the folder, the playlist selected -----------------------------
e2e_driver user-click "$C" --id=106 --index=1 --right
pick f
# Explorer sorts by name: A First.m3u, Party.m3u, Party.m3u_backup, Plain.m3u.
e2e_driver explorer-selection --title=Lists --exe=explorer.exe --timeout=30000 || e2e_fail "no Explorer window on Lists"
e2e_expect "items=4" "selected=1" "first_selected=1"
e2e_driver close-window --caption=Lists --exe=explorer.exe
e2e_driver wait-gone --caption=Lists --exe=explorer.exe --timeout=20000

# ---- the path test: a path typed by hand that names no file ---------------------------------------------
e2e_driver user-click "$C" --id=106 --index=1  # the file list has the focus
e2e_driver window-set-text "$C" --id=101 --text="$lists_win\\Gone.m3u"
e2e_driver user-keys "$C" --keys=shift+f10
pick f
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "no box for a missing playlist"
e2e_expect "text=Unable to locate Winamp playlist. Please reselect it if the file still exists."
e2e_driver no-box --for=1000 || e2e_fail "more than one box"
e2e_driver windows --exe=explorer.exe --caption=Lists --visible-only
e2e_expect "count=0"

# ---- the window at rest, as it was -------------------------------------------------------------------------
e2e_driver window-inspect "$C"
e2e_expect "window.caption=$E2E_MAIN_CAPTION" "window.menu=0" "window.children=14" "ctl.112.visible=0"
for id in 101 102 104 105 106 107 110 111 113; do e2e_expect "ctl.$id.enabled=1"; done
e2e_still_running
e2e_log "PASS"
