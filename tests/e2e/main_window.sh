#!/usr/bin/env bash
# The main window from outside: every control's class, text, place at 96 DPI, style, font,
# visibility, the tab order and the focus; a screenshot; the folder and file lists and the
# path box; a drive that cannot be read; the error log's box; a run that disables the
# inputs, ignores a second click and holds a close request.
source "$(dirname "$0")/lib.sh"
e2e_need_display

C="--caption=$E2E_MAIN_CAPTION"
esc() { printf '%s' "${1//\\/\\\\}"; }  # a value as the driver prints it

work=$(e2e_fresh_dir run)
mkdir -p "$work/lists/inner" "$work/rootdrive"
printf '' >"$work/lists/a.m3u"
printf '' >"$work/lists/B.M3U"
printf '' >"$work/lists/c.m3u8"
printf '' >"$work/lists/d.txt"
printf '' >"$work/lists/inner/x.m3u"
printf '' >"$work/rootdrive/top.m3u"
printf 'one.mp3\r\nTwo.mp3\r\nONE.mp3\r\ntwo.mp3\r\n' >"$work/lists/inner/dupes.m3u"

# Two drive letters for this test: R: a readable folder, Q: a folder that is not there.
dosdevices="${WINEPREFIX:-$HOME/.wine}/dosdevices"
for letter in q r; do
  [ -e "$dosdevices/$letter:" ] || [ -L "$dosdevices/$letter:" ] && e2e_fail "drive $letter: is taken in this prefix"
done
ln -s "$work/missing-folder" "$dosdevices/q:"
ln -s "$work/rootdrive" "$dosdevices/r:"
remove_drives() {
  e2e_cleanup
  timeout 60 wine "$TALLOWMERE_DRIVER" remove-drive --drive=Q: >/dev/null 2>&1
  timeout 60 wine "$TALLOWMERE_DRIVER" remove-drive --drive=R: >/dev/null 2>&1
  rm -f "$dosdevices/q:" "$dosdevices/r:"
}
trap remove_drives EXIT
e2e_driver define-drive --drive=Q: --target="$(e2e_winpath "$work/missing-folder")" || e2e_fail "cannot define Q:"
e2e_driver define-drive --drive=R: --target="$(e2e_winpath "$work/rootdrive")" || e2e_fail "cannot define R:"

lists_win=$(e2e_winpath "$work/lists")
e2e_start "$work/lists"
e2e_driver wait-window "$C" --visible=1 --timeout=60000 || e2e_fail "the main window did not show"

# ---- the window at rest ---------------------------------------------------------------
e2e_driver window-inspect "$C" || e2e_fail "cannot inspect the window"
e2e_expect "window.caption=$E2E_MAIN_CAPTION" "window.client=464,228" "window.dpi=96" "window.menu=0" \
  "window.children=14"
style=$(( $(e2e_value window.style) ))
(( style & 0x00040000 )) && e2e_fail "the window can be resized by its border"
(( style & 0x00010000 )) && e2e_fail "the window has a maximise box"
(( style & 0x00C00000 )) || e2e_fail "the window has no caption"

# id|class|text|rect|font face,weight,height
while IFS='|' read -r id class text rect font; do
  e2e_expect "ctl.$id.class=$class" "ctl.$id.text=$text" "ctl.$id.rect=$rect"
  [ -z "$font" ] || [[ $(e2e_value "ctl.$id.font") == "$font",* ]] || e2e_fail "control $id: font $(e2e_value "ctl.$id.font"), not $font"
done <<'EOF'
100|Static|Path:|8,8,41,17|MS Sans Serif,700,-11
101|Edit||48,8,401,19|
102|Button|Copy to One Folder|320,32,129,25|
103|Static|Drive:|8,32,33,17|MS Sans Serif,700,-11
104|ComboBox|Z:|48,32,129,21|
105|ListBox||48,56,129,126|
106|ListBox||184,32,129,149|
107|ListBox||320,80,137,95|
108|Static|Error Log:|320,64,81,17|MS Sans Serif,700,-11
109|Static|Other Playlist Modifications|160,184,161,17|Arial,700,-11
110|Button|Remove Tag Info|8,208,129,17|
111|Button|Strip non-existant songs|144,208,129,17|
112|Static|Busy|416,208,41,17|Tahoma,700,-13
113|Button|Strip Duplicates|280,208,113,17|
EOF
# The other controls share one font: the system's dialog font, regular weight.
dialog_font=$(e2e_value ctl.101.font)
[[ $dialog_font == *,400,* ]] || e2e_fail "the dialog font is not regular: $dialog_font"
for id in 102 104 105 106 107 110 111 113; do e2e_expect "ctl.$id.font=$dialog_font"; done
for id in 100 103 108 109 112; do
  [[ $(e2e_value "ctl.$id.font") == *,0 ]] || e2e_fail "control $id: italic, underlined or struck out"
done

style_of() { echo $(( $(e2e_value "ctl.$1.style") )); }
(( ($(style_of 109) & 0x3) == 0x1 )) || e2e_fail "Label4 is not centred"
(( ($(style_of 112) & 0x3) == 0x2 )) || e2e_fail "lblStatus is not right-aligned"
(( ($(style_of 104) & 0x3) == 0x3 )) || e2e_fail "Drive is not a drop-down list"
for id in 105 106 107; do
  (( $(style_of $id) & 0x0100 )) || e2e_fail "list $id lacks LBS_NOINTEGRALHEIGHT"
done
(( $(style_of 107) & 0x0002 )) && e2e_fail "the error log is sorted"
for id in 102 110 111 113; do
  (( ($(style_of $id) & 0xF) == 0 )) || e2e_fail "button $id is not a plain push button (default button?)"
done
e2e_expect "ctl.112.visible=0"
for id in 100 101 102 103 104 105 106 107 108 109 110 111 113; do e2e_expect "ctl.$id.visible=1" "ctl.$id.enabled=1"; done
e2e_expect "taborder=101,102,104,105,106,107,110,111,113" "focus=101"

e2e_driver window-screenshot "$C" --file="$(e2e_winpath "$E2E_WORK/main_window.bmp")" || e2e_fail "no screenshot"
[ -s "$E2E_WORK/main_window.bmp" ] || e2e_fail "the screenshot is empty"

# ---- lists at start: the working folder ---------------------------------------------------
e2e_driver window-items "$C" --id=105
count=$(e2e_value count)
selected=$(e2e_value selected)
[ "$selected" -ge 1 ] || e2e_fail "the folder list shows no current folder"
e2e_expect "item.0=Z:\\\\" "data.0=0" "item.$selected=lists" "data.$selected=$selected"
e2e_expect "item.$((selected + 1))=inner" "data.$((selected + 1))=$((selected + 1))"
[ "$count" -eq $((selected + 2)) ] || e2e_fail "the folder list has $count rows"
lists_row=$selected

e2e_driver window-items "$C" --id=106
e2e_expect "count=2" "item.0=a.m3u" "item.1=B.M3U" "selected=-1"
e2e_driver window-items "$C" --id=104
drive_count=$(e2e_value count)
z_index=$(sed -n 's/^item\.\([0-9]*\)=Z:$/\1/p' <<<"$E2E_OUT")
q_index=$(sed -n 's/^item\.\([0-9]*\)=Q:$/\1/p' <<<"$E2E_OUT")
r_index=$(sed -n 's/^item\.\([0-9]*\)=R:$/\1/p' <<<"$E2E_OUT")
[ -n "$z_index" ] && [ -n "$q_index" ] && [ -n "$r_index" ] || e2e_fail "the drive list lacks Z:, Q: or R: ($drive_count drives)"
e2e_expect "selected=$z_index"

# ---- opening a folder, then selecting a file ------------------------------------------------
e2e_driver window-set-text "$C" --id=101 --text='typed by hand'
e2e_driver window-select "$C" --id=105 --index=$((lists_row + 1)) --double
sleep 1
e2e_driver window-items "$C" --id=105
e2e_expect "selected=$((lists_row + 1))" "item.$((lists_row + 1))=inner"
e2e_driver window-items "$C" --id=106
e2e_expect "count=2" "item.0=dupes.m3u" "item.1=x.m3u"
e2e_driver window-inspect "$C"
e2e_expect "ctl.101.text=typed by hand"  # the path box waits for a file selection
e2e_driver window-select "$C" --id=106 --index=1
sleep 1
e2e_driver window-inspect "$C"
e2e_expect "ctl.101.text=$(esc "$lists_win\\inner\\x.m3u")"

# Enter on a row of the folder list opens it too (back up to "lists").
e2e_driver window-select "$C" --id=105 --index="$lists_row"
e2e_driver window-key "$C" --id=105 --key=return
sleep 1
e2e_driver window-items "$C" --id=106
e2e_expect "count=2" "item.0=a.m3u" "item.1=B.M3U"
e2e_driver no-box --for=1000 || e2e_fail "Enter in the folder list showed a box"

# ---- drives -----------------------------------------------------------------------------
# A readable drive: the folder list moves to its root and the file list follows; a file in a
# root gives two backslashes in a row.
e2e_driver window-select "$C" --id=104 --index="$r_index"
sleep 1
e2e_driver window-items "$C" --id=105
e2e_expect "count=1" "item.0=R:\\\\" "selected=0"
e2e_driver window-items "$C" --id=106
e2e_expect "count=1" "item.0=top.m3u"
e2e_driver window-select "$C" --id=106 --index=0
sleep 1
e2e_driver window-inspect "$C"
e2e_expect "ctl.101.text=R:\\\\\\\\top.m3u"

# A drive that cannot be read: the box, then the drive list keeps the chosen drive while
# the folder and file lists keep their folder.
e2e_driver window-select "$C" --id=104 --index="$q_index"
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "no box for an unreadable drive"
e2e_expect "buttons=OK" "icon=none"
text=$(e2e_value text)
[[ $text == "Can't access drive: "?* ]] || e2e_fail "the drive box says: $text"
e2e_driver window-items "$C" --id=104
e2e_expect "selected=$q_index"
e2e_driver window-items "$C" --id=105
e2e_expect "count=1" "item.0=R:\\\\"
e2e_driver window-items "$C" --id=106
e2e_expect "item.0=top.m3u"

# ---- the error log --------------------------------------------------------------------------
dupes_win=$(e2e_winpath "$work/lists/inner/dupes.m3u")
e2e_driver window-set-text "$C" --id=101 --text="$dupes_win"
e2e_driver window-click "$C" --id=113
sleep 2
e2e_driver no-box --for=500 || e2e_fail "Strip Duplicates showed a box"
e2e_driver window-items "$C" --id=107
e2e_expect "count=2"
first=$(e2e_value item.0)
second=$(e2e_value item.1)
[[ $first == Duplicate* && $second == Duplicate* ]] || e2e_fail "unexpected log lines: $first / $second"
[ "$(cat "$work/lists/inner/dupes.m3u")" == $'one.mp3\r\nTwo.mp3\r' ] || e2e_fail "the playlist was not stripped"
e2e_driver window-select "$C" --id=107 --index=0
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "no box for a log line"
e2e_expect "text=$first" "buttons=OK" "icon=none"
e2e_driver window-key "$C" --id=107 --key=down
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "no box for the next log line"
e2e_expect "text=$second"
e2e_driver no-box --for=1000 || e2e_fail "one selection showed more than one box"

# ---- a run disables the inputs, ignores a second click, and holds a close request ------------
e2e_driver window-set-text "$C" --id=101 --text="$(e2e_winpath "$work/no-such.m3u")"
e2e_driver window-click "$C" --id=110
e2e_driver wait-box --title=Tallowmere --timeout=20000 || e2e_fail "no box for a missing playlist"
e2e_expect "text=Unable to locate Winamp playlist. Please reselect it if the file still exists."
e2e_driver window-inspect "$C"
for id in 101 102 104 105 106 110 111 113; do e2e_expect "ctl.$id.enabled=0"; done
e2e_driver window-click "$C" --id=113  # reaches the disabled button all the same
e2e_driver close-window "$C"
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "could not close the box"
# The held close request ends the program only now; the second click started nothing.
e2e_driver no-box --for=1500 || e2e_fail "the click during the run started a second run"
e2e_wait_exit 30
[ "$E2E_EXIT" -eq 0 ] || e2e_fail "exit status $E2E_EXIT"

# ---- keyboard: Tab walks the controls, Enter and Esc start nothing, Space presses ---------------
e2e_start "$work/lists"
e2e_driver wait-window "$C" --visible=1 --timeout=60000 || e2e_fail "the main window did not show again"
for id in 101 102 104 105 106 107; do
  e2e_driver window-key "$C" --id=$id --key=tab
  sleep 0.3
done
e2e_driver window-inspect "$C"
e2e_expect "focus=110"
e2e_driver window-key "$C" --id=110 --key=return
e2e_driver window-key "$C" --id=110 --key=escape
e2e_driver no-box --for=1500 || e2e_fail "Enter or Esc on a button started an operation"
e2e_driver window-key "$C" --id=110 --key=space
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "Space on a button did not press it"
e2e_expect "text=Unable to locate Winamp playlist. Please reselect it if the file still exists."

# ---- after a run the inputs are enabled again --------------------------------------------------
e2e_driver window-click "$C" --id=111
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "no box for an empty path box"
e2e_expect "text=Unable to locate Winamp playlist. Please reselect it if the file still exists."
sleep 1
e2e_driver window-inspect "$C"
for id in 101 102 104 105 106 107 110 111 113; do e2e_expect "ctl.$id.enabled=1"; done
e2e_expect "ctl.112.visible=0" "window.caption=$E2E_MAIN_CAPTION"

# ---- a failure that ends a run: a box naming the file and the system's reason -----------------
printf 'a.mp3\r\nA.mp3\r\n' >"$work/lists/locked.m3u"
chmod a-w "$work/lists/locked.m3u"
locked_win=$(e2e_winpath "$work/lists/locked.m3u")
e2e_driver window-set-text "$C" --id=101 --text="$locked_win"
e2e_driver window-click "$C" --id=113
e2e_driver wait-box --title=Tallowmere --timeout=20000 || e2e_fail "no box for a read-only playlist"
e2e_expect "buttons=OK" "icon=critical"
text=$(e2e_value text)
[[ $text == *"$(esc "$locked_win")"'\r\n\r\n'?* ]] || e2e_fail "the failure box does not name the file and a reason: $text"
e2e_driver window-inspect "$C"
e2e_expect "ctl.112.visible=1" "ctl.113.enabled=0"
e2e_driver press --title=Tallowmere --button=OK --timeout=20000 || e2e_fail "could not close the failure box"
sleep 1
e2e_driver window-inspect "$C"
e2e_expect "ctl.112.visible=0" "ctl.113.enabled=1" "ctl.101.enabled=1"
[ "$(od -An -tx1 "$work/lists/locked.m3u" | tr -d ' \n')" == "612e6d70330d0a412e6d70330d0a" ] || e2e_fail "the read-only playlist changed"
e2e_still_running
e2e_log "PASS"
