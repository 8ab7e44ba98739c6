# End-to-end test helpers: start the real tallowmere.exe under Wine, drive it with
# tallowmere-driver.exe from a second process, and clean up with bounded waits.
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_need_display                      # skip (exit 77) when there is no X display
#   e2e_start "$E2E_WORK/demo" -help      # the program, in a working folder, with arguments
#   e2e_driver press --title=Tallowmere --button=OK
#   e2e_expect "buttons=OK"               # a line of the driver's last output
#   e2e_wait_exit 20                      # the program ended within 20 s
#
# The environment comes from CMake: TALLOWMERE_EXE, TALLOWMERE_DRIVER, E2E_WORK (a scratch
# folder of this test); WINEPREFIX and DISPLAY from scripts/test.sh. C: is "$E2E_C_DRIVE".

set -uo pipefail

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}
E2E_C_DRIVE="${WINEPREFIX:-$HOME/.wine}/drive_c"
E2E_APP_PID=""
E2E_OUT=""
E2E_NAME=$(basename "$0" .sh)
mkdir -p "$E2E_WORK"

e2e_log() { echo "[$E2E_NAME] $*"; }

e2e_fail() {
  echo "[$E2E_NAME] FAIL: $*" >&2
  exit 1
}

e2e_need_display() {
  if [ -z "${DISPLAY:-}" ]; then
    echo "[$E2E_NAME] SKIP: no X display (DISPLAY is unset); run the tests through scripts/test.sh"
    exit 77
  fi
}

# Stops the program if a test leaves it running, whatever way the test ends.
e2e_cleanup() {
  if [ -n "$E2E_APP_PID" ] && kill -0 "$E2E_APP_PID" 2>/dev/null; then
    kill "$E2E_APP_PID" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$E2E_APP_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$E2E_APP_PID" 2>/dev/null
  fi
  [ -n "$E2E_APP_PID" ] && wait "$E2E_APP_PID" 2>/dev/null
  E2E_APP_PID=""
}
trap e2e_cleanup EXIT

# A fresh, empty scratch folder of this test (optionally a subfolder), printed.
e2e_fresh_dir() {
  local dir="$E2E_WORK${1:+/$1}"
  rm -rf "$dir"
  mkdir -p "$dir"
  echo "$dir"
}

# e2e_start WORKDIR [ARGS...]: starts tallowmere.exe in WORKDIR, in the background.
# Wine passes each argument on; one argument with blanks is quoted on the command line.
e2e_start() {
  local workdir=$1
  shift
  [ -n "$E2E_APP_PID" ] && e2e_cleanup
  (cd "$workdir" && exec wine "$TALLOWMERE_EXE" "$@") >"$E2E_WORK/app.log" 2>&1 &
  E2E_APP_PID=$!
  e2e_log "started tallowmere.exe $* (pid $E2E_APP_PID)"
}

# e2e_driver COMMAND [OPTIONS...]: runs the driver; its output is in $E2E_OUT (and
# printed); returns its exit status. Windows of other programs are ignored unless the
# command names --exe itself.
e2e_driver() {
  local status
  local exe_filter=(--exe=tallowmere.exe)
  local arg
  for arg in "$@"; do [[ $arg == --exe=* ]] && exe_filter=(); done
  E2E_OUT=$(timeout 120 wine "$TALLOWMERE_DRIVER" "$@" "${exe_filter[@]}" 2>/dev/null | tr -d '\r')
  status=$?  # the driver's (pipefail)
  # Every command of the driver prints what it did, done or not. No output and a failure
  # mean it never ran (Wine could not start it on a loaded machine): once more.
  if [ -z "$E2E_OUT" ] && [ "$status" -ne 0 ]; then
    e2e_log "the driver did not run (status $status); once more"
    sleep 1
    E2E_OUT=$(timeout 120 wine "$TALLOWMERE_DRIVER" "$@" "${exe_filter[@]}" 2>/dev/null | tr -d '\r')
    status=$?
  fi
  printf '%s\n' "$E2E_OUT" | sed "s/^/[$E2E_NAME]   /"
  return "$status"
}

# e2e_winpath UNIXPATH: the same file as Wine's Z: drive names it.
e2e_winpath() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

# e2e_expect LINE...: each LINE is a whole line of the driver's last output.
e2e_expect() {
  local line
  for line in "$@"; do
    grep -qxF -- "$line" <<<"$E2E_OUT" || e2e_fail "expected the line '$line' in the driver's output"
  done
}

# e2e_value KEY: the value of KEY in the driver's last output (first occurrence).
e2e_value() {
  sed -n "s/^$1=//p" <<<"$E2E_OUT" | head -n 1
}

# e2e_wait_exit SECONDS: the program ends within SECONDS; its exit status is in E2E_EXIT.
e2e_wait_exit() {
  local limit=$(( $1 * 10 ))
  for _ in $(seq 1 "$limit"); do
    if ! kill -0 "$E2E_APP_PID" 2>/dev/null; then
      wait "$E2E_APP_PID"
      E2E_EXIT=$?
      E2E_APP_PID=""
      return 0
    fi
    sleep 0.1
  done
  e2e_fail "tallowmere.exe still running after $1 s"
}

# e2e_still_running: the program has not ended.
e2e_still_running() {
  kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "tallowmere.exe has ended"
}

E2E_MAIN_CAPTION="Kestrane - Tallowmere - Build 3"
