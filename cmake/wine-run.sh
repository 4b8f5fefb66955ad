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

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      wineboot -i >/dev/null 2>&1
      wineserver -w
    fi
  ) 9>"$prefix.lock"
fi
exec "$wine" "$@"
