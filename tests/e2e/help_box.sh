#!/usr/bin/env bash
# -help and /HELP: one box titled Tallowmere with the program's name first and the playlist's
# menu last, OK only, no icon, the window never shown; the program ends when OK is pressed.
source "$(dirname "$0")/lib.sh"
e2e_need_display

work=$(e2e_fresh_dir run)
for switch in -help /HELP; do
  e2e_start "$work" "$switch"
  e2e_driver wait-box --title=Tallowmere --timeout=60000 || e2e_fail "$switch: no box titled Tallowmere"
  e2e_expect "title=Tallowmere" "buttons=OK" "default=OK" "icon=none"
  text=$(e2e_value text)
  [[ $text == 'Tallowmere\r\n'* ]] || e2e_fail "$switch: the prompt does not start with Tallowmere on its own line: $text"
  [[ $text == *'Version 1.00'* ]] || e2e_fail "$switch: the prompt does not give the version: $text"
  [[ $text == *'\r\nRight-click a playlist to relink moved songs, make its paths relative or absolute, or restore its backup.' ]] ||
    e2e_fail "$switch: the prompt does not end with the line about the playlist's menu: $text"
  e2e_driver windows --caption="$E2E_MAIN_CAPTION" --visible-only
  e2e_expect "count=0"
  e2e_still_running
  e2e_driver press --title=Tallowmere --button=OK --timeout=10000 || e2e_fail "$switch: could not press OK"
  e2e_wait_exit 30
  [ "$E2E_EXIT" -eq 0 ] || e2e_fail "$switch: exit status $E2E_EXIT"
done
e2e_log "PASS"
