#!/bin/sh
# Runs the platform probe under Wine and compares its answers with the ones
# checked in for this Wine's major version (wine-<major>-answers.txt in the
# answers folder): a difference means Wine (or the C runtime) changed under
# us. If the change is expected, take the new answers:
#   compare.sh ... --update
# Usage: compare.sh <wine-prefix.sh> <prefix> <probe.exe> <answers folder> [--update]
set -eu
wine_prefix=$1
prefix=$2
probe=$3
major=$("${WINE:-wine}" --version | sed -n 's/^wine-\([0-9]*\).*/\1/p')
answers=$4/wine-$major-answers.txt
found=$(mktemp)
trap 'rm -f "$found"' EXIT
"$wine_prefix" run "$prefix" "$probe" | tr -d '\r' > "$found"
if [ "${5:-}" = --update ]; then
  cp "$found" "$answers"
  exit 0
fi
if [ ! -f "$answers" ]; then
  echo "No answers recorded for Wine $major; the probe found:"
  cat "$found"
  exit 1
fi
if ! diff -u "$answers" "$found"; then
  echo "The platform's answers differ from $answers (above: - expected, + found)."
  exit 1
fi
echo "$(wc -l < "$found") facts as expected for Wine $major"
