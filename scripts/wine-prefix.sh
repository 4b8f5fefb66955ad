#!/bin/sh
# The one Wine set-up of the test suite, the demo and the benchmark: a prefix
# of the build's own (never ~/.wine) that plays Windows 10, the oldest system
# the programs serve (pnputil's /delete-driver ... /uninstall exists from
# version 1607 on), with one persistent server whose services were started
# with nothing of ours open: a service started by a program would inherit
# that program's output pipe and keep whoever reads it (ctest) waiting until
# Wine stops.
# Usage:
#   wine-prefix.sh env <prefix>            the environment, to eval
#   wine-prefix.sh make <prefix>           makes it if needed
#   wine-prefix.sh run <prefix> <program> [arguments...]
#                                          makes it if needed, runs program
#   wine-prefix.sh stop <prefix>           ends every Wine process in it
#   wine-prefix.sh sandbox <prefix>        makes it anew and prints, to eval,
#                                          its environment and a trap that
#                                          stops it when the shell exits
# WINE names the wine to use (default: wine on the PATH). Any path may be
# given. A prefix is removed (by sandbox) only if it is this project's: it
# carries the mark make leaves in it, or lies under the project's build/.
set -eu
command=$1
prefix=$2
shift 2
mark=.driver-tools-prefix
self=$(cd "$(dirname "$0")" && pwd -P)/$(basename "$0")
project_build=$(cd "$(dirname "$0")/.." && pwd -P)/build

# quoted <text>: the text as one word of shell, whatever it holds.
quoted() {
  printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"
}

# The caller's overrides (ctest's, for some suites) come first.
overrides="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml=;pnputil.exe=n"

environment() {
  printf 'export WINEPREFIX=%s\n' "$(quoted "$prefix")"
  echo "export WINEDEBUG=-all"
  # No Mono or Gecko installer dialogs: nothing here needs them. Wine 10
  # ships a pnputil of its own and runs it instead of the file in system32
  # unless told to take that file first: the stand-in the tests put there,
  # as Windows runs the file it has there (Wine 8 has none).
  printf 'export WINEDLLOVERRIDES=%s\n' "$(quoted "$overrides")"
  echo "export WINEARCH=win64"
  # Console programs need no display; keep Wine from looking for one.
  echo "unset DISPLAY WAYLAND_DISPLAY"
}
eval "$(environment)"
wine=${WINE:-wine}

stop() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

make_prefix() {
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      wineboot -i >/dev/null 2>&1
      wineserver -w
      "$wine" winecfg -v win10 >/dev/null 2>&1
      wineserver -w
      : > "$prefix/$mark"
    fi
    if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
      "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
    fi
  ) 9>"$prefix.lock"
}

# is_ours <path>: true when the path, resolved, lies under the project's
# build/ folder.
is_ours() {
  local resolved
  resolved=$(cd "$1" 2>/dev/null && pwd -P) || return 1
  case $resolved/ in
    "$project_build"/*) return 0 ;;
  esac
  return 1
}

case $command in
  env) environment ;;
  make) make_prefix ;;
  run)
    make_prefix
    exec "$wine" "$@"
    ;;
  stop) stop ;;
  sandbox)
    if [ -e "$prefix" ] && [ ! -f "$prefix/$mark" ] && ! is_ours "$prefix"; then
      echo "wine-prefix.sh: $prefix is no prefix of this project's; not removed" >&2
      exit 1
    fi
    stop
    rm -rf --one-file-system -- "$prefix"
    make_prefix
    [ -f "$prefix/$mark" ] || {
      echo "wine-prefix.sh: the prefix $prefix could not be made" >&2
      exit 1
    }
    environment
    printf 'trap %s EXIT\n' "$(quoted "$(quoted "$self") stop $(quoted "$prefix")")"
    ;;
  *)
    echo "wine-prefix.sh: unknown command $command" >&2
    exit 2
    ;;
esac
