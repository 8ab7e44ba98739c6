#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine; used as CMake's cross-compiling emulator.
# WINEPREFIX and DISPLAY come from the caller (scripts/test.sh sets up a private prefix).
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}
exec wine "$@"
