#!/usr/bin/env bash
# Runs a test command with a small disk of its own, for the tests of what happens when a disk
# fills up: a tmpfs of SIZE mounted on a fresh folder, whose path is handed to the test in
# TALLOWMERE_SMALL_DISK (as a Windows path on drive Z:, which is how Wine sees the Unix root).
# The tmpfs is unmounted and the folder removed on every way out. Where no tmpfs can be
# mounted (not root, no permission in a container), the test still runs, with the reason in
# TALLOWMERE_SMALL_DISK_UNAVAILABLE, and skips its full-disk cases saying so.
#
#   small_disk.sh SIZE COMMAND [ARGUMENT...]      SIZE as mount takes it: 256k, 2m
set -u
size=$1
shift
mountpoint=$(mktemp -d /tmp/tallowmere-small-disk.XXXXXX)
mounted=0
cleanup() {
  if [ "$mounted" = 1 ]; then
    umount "$mountpoint" 2>/dev/null || umount -l "$mountpoint" 2>/dev/null || true
  fi
  rmdir "$mountpoint" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ "$(id -u)" -ne 0 ]; then
  export TALLOWMERE_SMALL_DISK_UNAVAILABLE="not root: cannot mount a small tmpfs"
elif ! reason=$(mount -t tmpfs -o "size=$size,mode=0777" tmpfs "$mountpoint" 2>&1); then
  export TALLOWMERE_SMALL_DISK_UNAVAILABLE="mount of a small tmpfs failed: $reason"
else
  mounted=1
  export TALLOWMERE_SMALL_DISK="Z:${mountpoint//\//\\}\\"
  export TALLOWMERE_SMALL_DISK_UNIX="$mountpoint/"
fi
"$@"
exit $?
