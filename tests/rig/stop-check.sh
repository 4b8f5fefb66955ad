#!/bin/bash
# stop_tree ends a process tree that resists; and the README's test
# command, scripts/test.sh, stopped with TERM at three points of its run
# (while it configures the build, while it compiles, while the suite runs
# Wine), ends with TERM's status and leaves no process of its own behind: none working in, started from or naming its source
# folder, and no Wine process of its prefix. It runs on a copy of the
# sources in the work folder, which it builds there.
# Usage: stop-check.sh <source dir> <work dir>
set -euo pipefail
if [ -n "${DRIVER_TOOLS_STOP_CHECK:-}" ]; then
  echo "inside a stop check's own suite: not run again"
  exit 0
fi
export DRIVER_TOOLS_STOP_CHECK=1
source_dir=$1
work=$2
copy=$work/src
prefix=$copy/build/windows/wineprefix
. "$(dirname "$0")/../../scripts/process-tree.sh"
rm -rf --one-file-system "$work"
mkdir -p "$copy/build"
# The sources as they are, without build/ or git's own files (git need
# not be there); the workflow validator this build installed is taken
# along, not fetched again.
(cd "$source_dir" && tar --exclude=./build --exclude=./.git -cf - .) |
  tar -xf - -C "$copy"
if [ -d "$source_dir/build/tools" ]; then cp -a "$source_dir/build/tools" "$copy/build/"; fi

# The processes of the copy's run, "pid command" a line: those working in
# the copy, naming it, or with its Wine prefix. A few greps over all of
# /proc at once, so that a look takes a moment, not seconds.
leftovers() {
  local pid
  {
    find /proc/[0-9]*/cwd -maxdepth 0 -lname "$copy*" 2>/dev/null
    grep -l -a -F "$copy" /proc/[0-9]*/cmdline 2>/dev/null
    grep -l -a -z -x -F "WINEPREFIX=$prefix" /proc/[0-9]*/environ 2>/dev/null
    true  # finding nothing is no failure
  } | cut -d/ -f3 | sort -u | while read -r pid; do
    if [ "$pid" != "$$" ] && is_running "$pid"; then
      echo "$pid $({ tr '\0' ' ' < "/proc/$pid/cmdline"; } 2>/dev/null)"
    fi
  done
}

failures=0
# stop_at <point> <pattern>: runs test.sh in the copy until one of its
# processes matches pattern, stops it with TERM, and looks for what is left.
stop_at() {
  local point=$1 pattern=$2 pid status=0 left
  (cd "$copy" && exec scripts/test.sh) > "$work/$point.log" 2>&1 &
  pid=$!
  local deadline=$((SECONDS + 1500))
  # Read whole: grep -q would end the pipe early, and pipefail would count
  # the writer's broken pipe as no match.
  until leftovers | grep -e "$pattern" >/dev/null; do
    if ! is_running "$pid" || [ "$SECONDS" -ge "$deadline" ]; then
      echo "FAIL: $point: test.sh never got there"
      tail -n 20 "$work/$point.log"
      stop_tree "$pid" || true
      failures=$((failures + 1))
      return
    fi
    sleep 0.2
  done
  kill -TERM "$pid"
  wait "$pid" || status=$?
  left=$(leftovers)
  # Whatever went on starting after test.sh ended would show a moment later.
  sleep 2
  left=$left$(leftovers)
  if [ -n "$left" ]; then
    echo "FAIL: $point: left running:"
    echo "$left"
    stop_tree "$pid" || true
    for pid in $(echo "$left" | cut -d' ' -f1 | sort -u); do kill -9 "$pid" 2>/dev/null || true; done
    failures=$((failures + 1))
  elif [ "$status" -ne 143 ]; then
    echo "FAIL: $point: test.sh ended with $status, not TERM's 143"
    failures=$((failures + 1))
  else
    echo "stopped while $point: status 143, nothing left running"
  fi
}

# What stops them all, on a tree that resists: a process and a child that
# ignore TERM, and a child that leaves the group.
marker=$work/resisting
setsid bash -c "trap '' TERM; (trap '' TERM; exec -a '$marker' sleep 600) &
  setsid bash -c \"exec -a '$marker' sleep 600\" & exec -a '$marker' sleep 600" &
resisting=$!
# Not reported by this shell when it is killed.
disown "$resisting"
until [ "$(pgrep -c -f "^$marker")" -ge 3 ]; do sleep 0.1; done
stop_tree "$resisting" || true
if pgrep -f "^$marker" >/dev/null; then
  echo "FAIL: stop_tree left a resisting tree running"
  pkill -9 -f "^$marker" || true
  failures=$((failures + 1))
else
  echo "stop_tree ended a tree that ignores TERM and leaves its group"
fi
stop_at "it configures the build" "cmake --preset windows"
stop_at "it compiles" "cc1plus"
stop_at "the suite runs Wine" "_tests\.exe"
rm -rf --one-file-system "$work"
[ "$failures" -eq 0 ]
