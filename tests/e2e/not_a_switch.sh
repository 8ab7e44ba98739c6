#!/usr/bin/env bash
# Command lines that match neither switch word start the window, silently:
# --watchfile, -watchfile x, watchfile, a lone dash, -h, /? and no command line at all.
source "$(dirname "$0")/lib.sh"
e2e_need_display

work=$(e2e_fresh_dir run)
run_case() {
  local name=$1
  shift
  e2e_start "$work" "$@"
  e2e_driver wait-window --caption="$E2E_MAIN_CAPTION" --visible=1 --timeout=60000 ||
    e2e_fail "$name: the main window is not visible"
  e2e_expect "visible=1"
  e2e_driver no-box --for=1500 || e2e_fail "$name: a message box showed up"
  e2e_still_running
  e2e_driver close-window --caption="$E2E_MAIN_CAPTION" || e2e_fail "$name: could not close the window"
  e2e_wait_exit 30
}
run_case "--watchfile" --watchfile
run_case "-watchfile x" -watchfile x
run_case "watchfile" watchfile
run_case "-" -
run_case "/?" "/?"
run_case "no command line"
e2e_log "PASS"
