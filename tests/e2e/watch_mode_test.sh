#!/usr/bin/env bash
# Watch mode of the real tallowmere.exe under Wine, driven by tallowmere-driver.exe:
# the start (missing playlist, fresh backup, letter case of the switch), one watcher per
# session, and the real 5000 ms timer catching a shrunk and a grown main playlist.
#
# Usage: watch_mode_test.sh TALLOWMERE_EXE DRIVER_EXE
# Needs WINEPREFIX (a test prefix: its main playlist folder is emptied) and DISPLAY.
set -u

EXE=${1:?tallowmere.exe}
DRIVER=${2:?tallowmere-driver.exe}
: "${WINEPREFIX:?a test prefix}" "${DISPLAY:?an X display}"
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}

WINAMP="$WINEPREFIX/drive_c/Program Files/Winamp"
PLAYLIST="$WINAMP/winamp.m3u"
BACKUP="$WINAMP/winamp.m3u.bak"
CAPTION="Kestrane - Tallowmere - Build 3"

failures=0
watchers=()

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# The driver's output, one key=value a line; every wait inside it is bounded.
driver() { timeout 90 wine "$DRIVER" "$@" 2>/dev/null | tr -d '\r'; }
field() { sed -n "s/^$1=//p" <<<"$2" | head -n 1; }
expect_field() {  # what key output expected
    local got
    got=$(field "$2" "$3")
    [[ "$got" == "$4" ]] || fail "$1: $2 is '$got', expected '$4'"
}

start_watcher() {  # the switch; sets $watcher to the Linux pid of the process
    wine "$EXE" "$1" >/dev/null 2>&1 &
    watcher=$!
    watchers+=("$watcher")
}
running() { kill -0 "$1" 2>/dev/null; }
wait_ended() {  # pid seconds
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        running "$1" || return 0
        sleep 0.1
    done
    return 1
}
stop_watcher() {
    running "$1" || return 0
    kill "$1" 2>/dev/null
    wait_ended "$1" 5 || kill -9 "$1" 2>/dev/null
    wait_ended "$1" 5
}
cleanup() {
    local pid
    for pid in "${watchers[@]}"; do stop_watcher "$pid"; done
    rm -f "$WINAMP"/winamp.m3u*
}
trap cleanup EXIT

same_file() { cmp -s "$1" "$2"; }
wait_same_file() {  # a b seconds
    local i
    for ((i = 0; i < $3 * 10; i++)); do
        same_file "$1" "$2" && return 0
        sleep 0.1
    done
    return 1
}
fresh_folder() {
    mkdir -p "$WINAMP"
    rm -f "$WINAMP"/winamp.m3u*
}

# Bring the prefix up before timing anything (a first start can take a while).
timeout 120 wine cmd /c exit >/dev/null 2>&1

# ---- No main playlist: "Cannot Watch File", the end, the backup untouched --------------
fresh_folder
printf 'an older backup\r\n' >"$BACKUP"
backup_before=$(od -c "$BACKUP")
start_watcher -watchfile
out=$(driver press --title="Cannot Watch File" --button=OK --timeout=30000)
expect_field "missing playlist" found "$out" 1
expect_field "missing playlist" text "$out" 'Tallowmere\r\n\r\nPlaylist missing'
expect_field "missing playlist" buttons "$out" OK
expect_field "missing playlist" icon "$out" critical
wait_ended "$watcher" 10 || fail "missing playlist: the program did not end"
[[ "$(od -c "$BACKUP")" == "$backup_before" ]] || fail "missing playlist: the backup was touched"
pass "watch mode without a main playlist"

# ---- -watchfile and -WATCHFILE: the backup becomes a byte copy, no window --------------
for switch in -watchfile -WATCHFILE; do
    fresh_folder
    printf '#EXTM3U\r\n#EXTINF:61,Ab - Cd\r\nC:\\Music\\one.mp3\r\nC:\\Music\\two.mp3\r\n' >"$PLAYLIST"
    printf 'the backup of an earlier run, longer than the playlist is now\r\n' >"$BACKUP"
    start_watcher "$switch"
    wait_same_file "$PLAYLIST" "$BACKUP" 30 || fail "$switch: the backup is not a copy of the playlist"
    out=$(driver windows --caption="$CAPTION" --visible-only)
    expect_field "$switch" count "$out" 0
    out=$(driver no-box --for=2000)
    expect_field "$switch: no box at start" boxes "$out" 0
    running "$watcher" || fail "$switch: the watcher ended"
    [[ $(ls "$WINAMP" | wc -l) == 2 ]] || fail "$switch: the start archived the old backup"
    pass "$switch starts watching"
    [[ $switch == -WATCHFILE ]] || stop_watcher "$watcher"
done
first=$watcher

# ---- A second watcher of the session is refused and touches nothing --------------------
# Same length, other content: the running watcher leaves it alone (lengths only), and a
# second watcher that copied would show in the backup.
printf '#EXTM3U\r\n#EXTINF:61,Ab - Cd\r\nC:\\Music\\two.mp3\r\nC:\\Music\\one.mp3\r\n' >"$PLAYLIST"
backup_before=$(od -c "$BACKUP")
start_watcher -watchfile
out=$(driver press --title="Already Watching" --button=OK --timeout=30000)
expect_field "second watcher" found "$out" 1
expect_field "second watcher" text "$out" \
    'Tallowmere -watchfile\r\n\r\nThe main playlist is already being watched by another Tallowmere. This one will now end.'
expect_field "second watcher" buttons "$out" OK
wait_ended "$watcher" 10 || fail "second watcher: it did not end"
sleep 6  # a tick of the first watcher: equal lengths, nothing to do
[[ "$(od -c "$BACKUP")" == "$backup_before" ]] || fail "second watcher: the backup was touched"
running "$first" || fail "second watcher: the first one ended"
pass "a second watcher is refused"

# ---- The real timer: a shrunk playlist is caught and restored --------------------------
printf '#EXTM3U\r\n' >"$PLAYLIST"
shrunk_at=$SECONDS
out=$(driver press --title="Restore last playlist" --button=Yes --timeout=12000)
expect_field "shrunk" found "$out" 1
expect_field "shrunk" text "$out" \
    'Tallowmere - Main Playlist Watcher\r\n\r\nThe playlist appears to have been altered, and has decreased in size. Would you like to restore the previous version of the playlist?'
expect_field "shrunk" buttons "$out" 'Yes|No'
expect_field "shrunk" default "$out" Yes
expect_field "shrunk" icon "$out" question
echo "question after $((SECONDS - shrunk_at)) s"
out=$(driver press --title=Tallowmere --button=OK --timeout=10000)
expect_field "restored" text "$out" 'Restored successfully'
expect_field "restored" buttons "$out" OK
same_file "$PLAYLIST" "$BACKUP" || fail "restored: the playlist is not the backup"
[[ "$(od -c "$BACKUP")" == "$backup_before" ]] || fail "restored: the backup changed"
pass "a shrunk playlist is restored on Yes"

# ---- The real timer: a grown playlist is archived under the clock's name, silently -----
old_backup=$(od -c "$BACKUP")
hour_before=$(date +%-H.%-d.%-m)
printf 'C:\\Music\\three.mp3\r\n' >>"$PLAYLIST"
wait_same_file "$PLAYLIST" "$BACKUP" 12 || fail "grown: the backup was not refreshed"
hour_after=$(date +%-H.%-d.%-m)
archives=("$WINAMP"/winamp.m3u.bak.*)
if [[ ${#archives[@]} != 1 || ! -f ${archives[0]} ]]; then
    fail "grown: expected one archive, found: ${archives[*]}"
else
    name=${archives[0]##*/}
    [[ $name == "winamp.m3u.bak.$hour_before" || $name == "winamp.m3u.bak.$hour_after" ]] ||
        fail "grown: archive $name, expected winamp.m3u.bak.$hour_before"
    [[ "$(od -c "${archives[0]}")" == "$old_backup" ]] || fail "grown: the archive is not the old backup"
fi
out=$(driver no-box --for=1000)
expect_field "grown: silent" boxes "$out" 0
pass "a grown playlist is archived"

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all watch-mode checks passed"
