#!/bin/sh
# Runs the platform probe under Wine with --expect on the answers recorded
# for this Wine's major version (wine-<major>-answers.txt in the answers
# folder): the probe prints each difference and fails on any, as it does on
# Windows against windows-answers.txt. A difference means Wine (or the C
# runtime) changed under us. The comparison itself is shown to fail where
# it must: on a copy of these answers with one answer's case changed, and on
# the Windows answers. If a change of Wine is expected, take its answers:
#   compare.sh ... --update
# Usage: compare.sh <wine-prefix.sh> <prefix> <probe.exe> <answers folder> [--update]
set -eu
wine_prefix=$1
prefix=$2
probe=$3
folder=$4
major=$("${WINE:-wine}" --version | sed -n 's/^wine-\([0-9]*\).*/\1/p')
answers=$folder/wine-$major-answers.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The probe reads its files through Wine's z: drive, the Linux root.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
# run_probe <output file> <probe arguments...>: the probe's own exit status.
run_probe() {
  out=$1
  shift
  status=0
  "$wine_prefix" run "$prefix" "$probe" "$@" > "$out.raw" || status=$?
  tr -d '\r' < "$out.raw" > "$out"
  return $status
}

if [ "${5:-}" = --update ]; then
  run_probe "$answers"
  rm -f "$answers.raw"
  exit 0
fi
if [ ! -f "$answers" ]; then
  echo "No answers recorded for Wine $major; the probe found:"
  run_probe "$work/found" || true
  cat "$work/found"
  exit 1
fi
found=0
run_probe "$work/found" --expect "$(windows_path "$answers")" || found=$?
cat "$work/found"
if [ "$found" -ne 0 ]; then
  echo "The platform's answers differ from $answers (above)."
  exit 1
fi
# The facts alone, as another run's output.
grep -v -e '^[0-9]* facts as promised$' "$work/found" > "$work/facts"
# One answer's case changed: "Wine" becomes "wine".
sed 's/^platform: Wine$/platform: wine/' "$answers" > "$work/case-changed.txt"
for other in "$work/case-changed.txt" "$folder/windows-answers.txt"; do
  if run_probe "$work/compared" --found "$(windows_path "$work/facts")" \
      --expect "$(windows_path "$other")"; then
    echo "The comparison passed answers it must refuse: $other"
    cat "$work/compared"
    exit 1
  fi
  echo "refused as it must be: $(basename "$other"): $(tail -n 1 "$work/compared")"
done
