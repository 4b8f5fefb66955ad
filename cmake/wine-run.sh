#!/bin/sh
# Runs a cross-built program under Wine in the build's own prefix (never
# ~/.wine), making the prefix first if it is not there yet.
# Usage: wine-run.sh <prefix> <wine> <program> [arguments...]
set -e
prefix=$1
wine=$2
shift 2

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs: nothing here needs them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml="
export WINEARCH=win64
# Wine needs no display for console programs; keep it from looking for one.
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # The oldest Windows the programs serve: pnputil's /delete-driver ...
    # /uninstall exists from Windows 10 version 1607 on.
    "$wine" winecfg -v win10 >/dev/null 2>&1
    wineserver -w
  fi
  # One persistent server for the whole run, its services started with
  # nothing of ours open: a service started by a test would inherit that
  # test's output pipe and keep ctest waiting on it until Wine stops. The
  # server stays until wine-stop.sh (or wineserver -k) ends it.
  if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
    "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$prefix.lock"
exec "$wine" "$@"
