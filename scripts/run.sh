#!/usr/bin/env bash
# Builds tallowmere.exe and starts it under Wine with the arguments given, e.g.
#   bash scripts/run.sh              the window, on a fresh copy of the demo playlist
#   bash scripts/run.sh -watchfile   watch mode
# It runs in a fresh copy of examples/ (build/demo/) unless started with --here (or
# TALLOWMERE_DEMO=0), which keeps the current folder. Wine uses your WINEPREFIX (its default,
# ~/.wine, when unset).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

use_demo=${TALLOWMERE_DEMO:-1}
if [ "${1:-}" = "--here" ]; then
  use_demo=0
  shift
fi

bash "$root/scripts/setup.sh"
(cd "$root" && cmake --preset windows >/dev/null && cmake --build --preset windows --target tallowmere)

workdir=$PWD
if [ "$use_demo" != 0 ]; then
  workdir="$root/build/demo"
  rm -rf "$workdir"
  cp -R "$root/examples" "$workdir"
fi

if [ -z "${DISPLAY:-}" ]; then
  echo "run: DISPLAY is not set; Wine needs an X display (for a headless one: Xvfb :5 & DISPLAY=:5)" >&2
fi
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompt when Wine makes a new prefix: the program needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}
cd "$workdir"
exec wine "$root/build/windows/tallowmere.exe" "$@"
