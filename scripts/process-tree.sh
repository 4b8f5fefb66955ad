# Sourced by the rig's bash scripts: run a command so that it, and
# everything it starts, ends when the script ends, fails, or is stopped by
# INT, TERM or HUP. A signal that ends a script runs no EXIT trap of its
# own in every shell; these traps turn it into an exit, which does.

# stop_tree <pid>: ends the process and every process below it, the
# children first, so that none is left to its parent's end.
stop_tree() {
  local child
  for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do
    stop_tree "$child"
  done
  kill -TERM "$1" 2>/dev/null || true
}

# guarded <command...>: runs the command in the background and waits for
# it, so that a signal reaches the script at once; its exit status is the
# command's. The process stays known in guarded_pid until it has ended.
guarded_pid=
guarded() {
  local status=0
  "$@" &
  guarded_pid=$!
  wait "$guarded_pid" || status=$?
  guarded_pid=
  return $status
}

# Whatever ends the script first ends what guarded still runs.
stop_guarded() {
  if [ -n "$guarded_pid" ]; then stop_tree "$guarded_pid"; fi
  guarded_pid=
}
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
