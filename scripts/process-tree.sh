# Sourced by the rig's bash scripts: run a command so that it, and
# everything it starts, ends when the script ends, fails, or is stopped by
# INT, TERM or HUP. A signal that ends a script runs no EXIT trap of its
# own in every shell; these traps turn it into an exit, which does.

# How long what is being stopped has after TERM before it gets KILL, and
# how long after that it may take to go before stopping gives up.
stop_grace_seconds=5
stop_give_up_seconds=30

# tree_of <pid>: the process and every process below it, one a line.
tree_of() {
  local child
  echo "$1"
  for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do
    tree_of "$child"
  done
}

# group_of <pgid>: every process of that process group, one a line.
group_of() {
  # A stat line: pid, (command), state, parent, group, ...; the command may
  # hold blanks and parentheses, so the fields are counted after its end.
  cat /proc/[0-9]*/stat 2>/dev/null |
    awk -v group="$1" '{ pid = $1; sub(/.*\) /, ""); if ($3 == group) print pid }'
}

# group_of_process <pid>: the process group the process is in.
group_of_process() {
  sed 's/.*) //' /proc/"$1"/stat 2>/dev/null | cut -d' ' -f3
}

# is_running <pid>: true while the process exists and is no zombie.
is_running() {
  local stat
  stat=$(cat /proc/"$1"/stat 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

# stop_tree <pid>: ends the process, every process below it and, if it
# leads a process group of its own, that whole group: TERM first, KILL to
# whatever is left after the grace period, looking again each time until
# nothing is left, so that a child started meanwhile, or one that ignores
# TERM, goes too. Processes that were below it stay known after their
# parent has gone.
stop_tree() {
  local leader=$1 known="" alive pid signal=TERM group=""
  local kill_at=$((SECONDS + stop_grace_seconds))
  local give_up_at=$((kill_at + stop_give_up_seconds))
  # Only a leader of its own group is ended with its group: any other
  # process shares the group of the script that started it.
  if [ "$(group_of_process "$leader")" = "$leader" ]; then group=$leader; fi
  while :; do
    known=$(
      {
        printf '%s\n' $known
        for pid in $leader $known; do
          is_running "$pid" && tree_of "$pid"
        done
        if [ -n "$group" ]; then group_of "$group"; fi
      } | sort -u
    )
    alive=""
    for pid in $known; do
      if [ "$pid" != "$$" ] && is_running "$pid"; then alive="$alive $pid"; fi
    done
    [ -z "$alive" ] && return 0
    if [ "$SECONDS" -ge "$give_up_at" ]; then
      echo "still running after KILL:$alive" >&2
      return 1
    fi
    [ "$SECONDS" -ge "$kill_at" ] && signal=KILL
    # shellcheck disable=SC2086
    kill -"$signal" $alive 2>/dev/null || true
    sleep 0.2
  done
}

# guarded <command...>: runs the command in the background, leading a
# process group of its own, and waits for it, so that a signal reaches the
# script at once; its exit status is the command's. The process stays known
# in guarded_pid until it has ended.
guarded_pid=
guarded() {
  local status=0
  setsid "$@" &
  guarded_pid=$!
  wait "$guarded_pid" || status=$?
  guarded_pid=
  return $status
}

# Whatever ends the script first ends what guarded still runs.
stop_guarded() {
  if [ -n "$guarded_pid" ]; then stop_tree "$guarded_pid" || true; fi
  guarded_pid=
}
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
