#!/usr/bin/env bash
# Relink Moved Songs from the file list's context menu, as a user works it: the menu's items,
# a right-click that selects the playlist, the folder picker cancelled (nothing happens), two
# library folders picked one at a time, the dry run in the error log with the files found in
# the caption, No (nothing written), the remembered folders offered again, Yes (the bytes the
# CLI writes for the same input), a playlist changed between the dry run and Yes, a playlist
# with nothing to relink, the window at rest, and a close during the run that waits for it.
source "$(dirname "$0")/lib.sh"
e2e_need_display

C="--caption=$E2E_MAIN_CAPTION"
PICKER="--title=Relink Moved Songs: Music Library"
esc() { printf '%s' "${1//\\/\\\\}"; }  # a value as the driver prints it
settings='HKCU\Software\Kestrane\Tallowmere'
forget_folders() { timeout 60 wine reg delete "$settings" /f >/dev/null 2>&1; }

work=$(e2e_fresh_dir run)
for song in "Music/Abba/Gold/01 Waterloo.mp3" "Music/Abba/Gold/02 SOS.mp3" "Music/Queen/Jazz/Mustapha.mp3" \
  "Extra/Live/Encore.mp3"; do
  mkdir -p "$work/Media/$(dirname "$song")"
  printf 'song' >"$work/Media/$song"
done
mkdir -p "$work/Lists"
printf 'song' >"$work/Lists/Here.mp3"
# Moved from Q:\ (a drive that is gone) and from beside the lists; a line end of each kind, the
# last line without one.
original='#EXTM3U\r\n#EXTINF:1,Waterloo\r\nQ:\\Music\\Abba\\Gold\\01 Waterloo.mp3\r\n#EXTINF:2,SOS\r\n..\\Music\\Abba\\Gold\\02 sos.MP3\nQ:\\Music\\Queen\\Jazz\\Mustapha.mp3\r\nQ:\\Live\\Encore.mp3\rQ:\\Music\\Gone.mp3'
printf "$original" >"$work/Lists/Party.m3u"
printf "$original" >"$work/original.m3u"
printf '#EXTM3U\r\nHere.mp3\r\n' >"$work/Lists/Here.m3u"
lists_win=$(e2e_winpath "$work/Lists")
party_win="$lists_win\\Party.m3u"
music_win=$(e2e_winpath "$work/Media/Music")
extra_win=$(e2e_winpath "$work/Media/Extra")

forget_folders
trap 'e2e_cleanup; forget_folders' EXIT
e2e_start "$work/Lists"
e2e_driver wait-window "$C" --visible=1 --timeout=60000 || e2e_fail "the main window did not show"

# ---- the menu's items, with their access keys ---------------------------------------------------
e2e_driver menu-resource --file="$(e2e_winpath "$TALLOWMERE_EXE")" --id=201 || e2e_fail "no context menu in the program"
e2e_expect "item.0.count=6" "item.0.item.0=&Relink Moved Songs..." "item.0.item.1=Make Paths Relati&ve" \
  "item.0.item.2=Make Paths &Absolute" "item.0.item.3=Restore &Backup" "item.0.item.4=-" \
  "item.0.item.5=Open Containing &Folder"

# ---- a right-click selects the playlist as a left click does; the picker cancelled: nothing ---
e2e_driver window-items "$C" --id=106
e2e_expect "count=2" "item.0=Here.m3u" "item.1=Party.m3u" "selected=-1"
open_menu_on() {  # ROW: a right-click on that row of the file list
  e2e_driver user-click "$C" --id=106 --index="$1" --right || e2e_fail "could not right-click row $1"
  e2e_driver menu-wait || e2e_fail "no menu after a right-click on row $1"
}
open_menu_on 1
e2e_driver window-items "$C" --id=106
e2e_expect "selected=1"
e2e_driver window-inspect "$C"
e2e_expect "ctl.101.text=$(esc "$party_win")"
e2e_driver user-keys --keys=r
e2e_driver picker "$PICKER" --cancel || e2e_fail "no folder picker"
e2e_expect "name=" "label=Folder:" "ok=Select Folder"
e2e_driver no-box --for=1000 || e2e_fail "a cancelled picker was followed by a box"
cmp -s "$work/Lists/Party.m3u" "$work/original.m3u" || e2e_fail "a cancelled relink changed the playlist"
timeout 60 wine reg query "$settings" /v LibraryFolders >/dev/null 2>&1 && e2e_fail "a cancelled picker was remembered"

# ---- two folders, one at a time; the dry run; No writes nothing ------------------------------------
open_menu_on 1
e2e_driver user-keys --keys=r
e2e_driver picker "$PICKER" --folder="$music_win" || e2e_fail "the picker did not take the Music folder"
e2e_driver press --title=Tallowmere --button=Yes || e2e_fail "no question to add another folder"
e2e_expect "text=Library folders:\\r\\n$(esc "$music_win")\\r\\n\\r\\nAdd another folder?" "buttons=Yes|No" \
  "default=No" "icon=question"
e2e_driver picker "$PICKER" --folder="$extra_win" || e2e_fail "the picker did not take the Extra folder"
e2e_expect "name="
e2e_driver press --title=Tallowmere --button=No
e2e_expect "text=Library folders:\\r\\n$(esc "$music_win")\\r\\n$(esc "$extra_win")\\r\\n\\r\\nAdd another folder?"
e2e_driver wait-box --title=Tallowmere --timeout=60000 || e2e_fail "no question after the dry run"
e2e_expect "text=Relink 4 songs in $(esc "$party_win")?" "buttons=Yes|No" "default=Yes" "icon=question"
# Meanwhile: the caption counts the library's files, "Busy" shows, the log holds the whole plan.
DRY="--caption=Relink Moved Songs: 4 files found"
e2e_driver window-inspect "$DRY" || e2e_fail "the caption does not show the files found"
e2e_expect "ctl.112.visible=1" "ctl.106.enabled=0"
expected_log() {
  e2e_expect "count=5" \
    "item.0=Relinked: Q:\\\\Music\\\\Abba\\\\Gold\\\\01 Waterloo.mp3 -> $(esc "$music_win")\\\\Abba\\\\Gold\\\\01 Waterloo.mp3" \
    "item.1=Relinked: ..\\\\Music\\\\Abba\\\\Gold\\\\02 sos.MP3 -> ..\\\\Media\\\\Music\\\\Abba\\\\Gold\\\\02 SOS.mp3" \
    "item.2=Relinked: Q:\\\\Music\\\\Queen\\\\Jazz\\\\Mustapha.mp3 -> $(esc "$music_win")\\\\Queen\\\\Jazz\\\\Mustapha.mp3" \
    "item.3=Relinked: Q:\\\\Live\\\\Encore.mp3 -> $(esc "$extra_win")\\\\Live\\\\Encore.mp3" \
    "item.4=Not found: Q:\\\\Music\\\\Gone.mp3"
}
e2e_driver window-items "$DRY" --id=107
expected_log
e2e_driver press --title=Tallowmere --button=No
e2e_driver window-wait-state "$C" --id=106 --enabled=1 --timeout=20000 || e2e_fail "the run did not end after No"
cmp -s "$work/Lists/Party.m3u" "$work/original.m3u" || e2e_fail "No wrote the playlist"
[ -e "$work/Lists/Party.m3u_backup" ] && e2e_fail "No made a backup"
e2e_driver window-items "$C" --id=107
expected_log
e2e_driver window-inspect "$C"
e2e_expect "ctl.112.visible=0" "ctl.101.enabled=1"
remembered=$(timeout 60 wine reg query "$settings" /v LibraryFolders 2>/dev/null | tr -d '\r')
[[ $remembered == *REG_MULTI_SZ*"$music_win\\0$extra_win"* ]] || e2e_fail "the folders were not remembered: $remembered"

# ---- the remembered folders, offered again; Yes writes what the CLI writes --------------------------
relink_with_remembered() {  # opens the menu on Party.m3u and takes the remembered folders again
  open_menu_on 1
  e2e_driver user-keys --keys=r
  e2e_driver picker "$PICKER" || e2e_fail "the picker did not take the remembered folder"
  e2e_expect "name=Music"
  e2e_driver press --title=Tallowmere --button=Yes
  e2e_expect "default=Yes"  # another remembered folder follows
  e2e_driver picker "$PICKER" || e2e_fail "the picker did not take the second remembered folder"
  e2e_expect "name=Extra"
  e2e_driver press --title=Tallowmere --button=No
  e2e_expect "default=No"
  e2e_driver wait-box --title=Tallowmere --timeout=60000 || e2e_fail "no question after the dry run"
  e2e_expect "text=Relink 4 songs in $(esc "$party_win")?"
}
relink_with_remembered
e2e_driver press --title=Tallowmere --button=Yes
e2e_driver window-wait-state "$C" --id=106 --enabled=1 --timeout=20000 || e2e_fail "the run did not end after Yes"
e2e_driver no-box --for=500 || e2e_fail "a box after the write"
cp "$work/original.m3u" "$work/Lists/Party-cli.m3u"
timeout 120 wine "$(dirname "$TALLOWMERE_EXE")/tallowmere-cli.exe" relink --in "$music_win" \
  --in "$extra_win" "$lists_win\\Party-cli.m3u" >/dev/null 2>&1
cmp "$work/Lists/Party.m3u" "$work/Lists/Party-cli.m3u" || e2e_fail "the window wrote other bytes than the CLI"
cmp -s "$work/Lists/Party.m3u" "$work/original.m3u" && e2e_fail "Yes wrote nothing"
cmp -s "$work/Lists/Party.m3u_backup" "$work/original.m3u" || e2e_fail "the backup is not the playlist as it was"
rm -f "$work/Lists/Party-cli.m3u" "$work/Lists/Party-cli.m3u_backup"
e2e_driver window-items "$C" --id=107
expected_log

# ---- the playlist changed between the dry run and Yes: nothing is written ---------------------------
cp "$work/original.m3u" "$work/Lists/Party.m3u"
rm -f "$work/Lists/Party.m3u_backup"
relink_with_remembered
printf '\r\nQ:\\Added\\Meanwhile.mp3\r\n' >>"$work/Lists/Party.m3u"
cp "$work/Lists/Party.m3u" "$work/changed.m3u"
e2e_driver press --title=Tallowmere --button=Yes
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "no box about the changed playlist"
e2e_expect "icon=critical"
[[ $(e2e_value text) == *"Another program changed or deleted the playlist during the run; nothing was written to it"* ]] ||
  e2e_fail "the box does not say the playlist changed: $(e2e_value text)"
e2e_driver window-wait-state "$C" --id=106 --enabled=1 --timeout=20000 || e2e_fail "the run did not end"
cmp -s "$work/Lists/Party.m3u" "$work/changed.m3u" || e2e_fail "the changed playlist was overwritten"
[ -e "$work/Lists/Party.m3u_backup" ] && e2e_fail "a backup was put in place"

# ---- nothing to relink: the box says so ------------------------------------------------------------
open_menu_on 0
e2e_driver user-keys --keys=r
e2e_driver picker "$PICKER" || e2e_fail "the picker did not take the remembered folder"
e2e_driver press --title=Tallowmere --button=No  # the second remembered folder is not needed
e2e_driver press --title=Tallowmere --button=OK --timeout=60000 || e2e_fail "no box for a playlist with nothing to relink"
e2e_expect "text=No song to relink in $(esc "$lists_win\\Here.m3u")." "buttons=OK" "icon=none"

# ---- the window at rest, as it was -------------------------------------------------------------------
e2e_driver window-wait-state "$C" --id=106 --enabled=1 --timeout=20000 || e2e_fail "the run did not end"
e2e_driver window-inspect "$C" || e2e_fail "the caption is not the window's own again"
e2e_expect "window.menu=0" "window.children=14" "ctl.112.visible=0"
for id in 101 102 104 105 106 107 110 111 113; do e2e_expect "ctl.$id.enabled=1"; done

# ---- a close during the run (the question open) waits for the run ------------------------------------
open_menu_on 1
e2e_driver user-keys --keys=r
e2e_driver picker "$PICKER" || e2e_fail "the picker did not take the remembered folder"
e2e_driver press --title=Tallowmere --button=No  # Music alone was remembered last
e2e_driver wait-box --title=Tallowmere --timeout=60000 || e2e_fail "no question after the dry run"
e2e_expect "text=Relink 3 songs in $(esc "$party_win")?"
e2e_driver close-window "--caption=Relink Moved Songs: 3 files found"
sleep 1
e2e_driver windows --caption="Relink Moved Songs: 3 files found" --visible-only
e2e_expect "count=1"  # held while the run asks
e2e_driver press --title=Tallowmere --button=No
e2e_wait_exit 30
[ "$E2E_EXIT" -eq 0 ] || e2e_fail "exit status $E2E_EXIT"
cmp -s "$work/Lists/Party.m3u" "$work/changed.m3u" || e2e_fail "the playlist changed although No was pressed"
e2e_log "PASS"
