#!/bin/sh
# Runs the platform probe under Wine and compares its answers with the ones
# checked in for Wine: a difference means Wine (or the C runtime) changed
# under us. If the change is expected, take the new answers:
#   compare.sh ... --update
# Usage: compare.sh <wine-prefix.sh> <prefix> <probe.exe> <answers> [--update]
set -eu
wine_prefix=$1
prefix=$2
probe=$3
answers=$4
found=$(mktemp)
trap 'rm -f "$found"' EXIT
"$wine_prefix" run "$prefix" "$probe" | tr -d '\r' > "$found"
if [ "${5:-}" = --update ]; then
  cp "$found" "$answers"
  exit 0
fi
if ! diff -u "$answers" "$found"; then
  echo "The platform's answers differ from $answers (above: - expected, + found)."
  exit 1
fi
echo "$(wc -l < "$found") facts as expected"
