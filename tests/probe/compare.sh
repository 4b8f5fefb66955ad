#!/bin/sh
# Runs the platform probe under Wine and compares its answers with the ones
# checked in for Wine: a difference means Wine (or the C runtime) changed
# under us. If the change is expected, take the new answers:
#   compare.sh ... --update
# Usage: compare.sh <wine-run.sh> <prefix> <wine> <probe.exe> <answers> [--update]
set -eu
run=$1
prefix=$2
wine=$3
probe=$4
answers=$5
found=$(mktemp)
trap 'rm -f "$found"' EXIT
"$run" "$prefix" "$wine" "$probe" | tr -d '\r' > "$found"
if [ "${6:-}" = --update ]; then
  cp "$found" "$answers"
  exit 0
fi
if ! diff -u "$answers" "$found"; then
  echo "The platform's answers differ from $answers (above: - expected, + found)."
  exit 1
fi
echo "$(wc -l < "$found") facts as expected"
