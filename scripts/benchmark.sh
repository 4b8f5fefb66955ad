#!/bin/bash
# Times tarvex on driver stores of 100, 1,000 and 5,000 INF files that name
# no vendor (the worst case: every file read to its end), against a plain
# ReadFile loop over the same files under Wine and native grep -l, and prints
# a table: median wall time, MB/s and peak memory of several runs.
# Usage: scripts/benchmark.sh [runs per cell, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target tarvex bench_read_bytes >/dev/null

build=$PWD/build/windows
# A fresh prefix whose server stays up between runs, as on a running machine.
. scripts/sandbox.sh "$build/bench-prefix"
inf=$WINEPREFIX/drive_c/windows/inf

# One INF of about 30 KB, the size of a typical device INF, naming no vendor.
scratch=$(mktemp -d)
template=$scratch/template.inf
{
  printf '[Version]\r\nSignature="$Windows NT$"\r\nClass=SmartCardReader\r\n'
  printf 'Provider=%%PROVIDER%%\r\nDriverVer=05/20/2016,1.4.2.0\r\n\r\n'
  for i in $(seq 1 400); do
    printf 'HKR,,DeviceParameter%04d,0x00010001,%d ; reader setting %d\r\n' "$i" "$i" "$i"
  done
  printf '\r\n[Strings]\r\nPROVIDER="Contoso"\r\n'
} > "$template"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# measure <label> <bytes> <command...>: median seconds and peak KiB
measure() {
  local label=$1 bytes=$2
  shift 2
  local times=() peaks=()
  for _ in $(seq 1 "$runs"); do
    local start end kib
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$scratch/time" "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    kib=$(tail -n 1 "$scratch/time")
    times+=("$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }')")
    peaks+=("$kib")
  done
  local t m
  t=$(printf '%s\n' "${times[@]}" | median)
  m=$(printf '%s\n' "${peaks[@]}" | median)
  printf '| %-28s | %6s | %8s | %8.1f | %8.1f |\n' "$label" "$count" "$t" \
    "$(awk -v b="$bytes" -v t="$t" 'BEGIN { print (t > 0 ? b / 1048576 / t : 0) }')" \
    "$(awk -v k="$m" 'BEGIN { print k / 1024 }')"
}

echo
echo "| reader                       | INFs   | median s | MB/s     | peak MiB |"
echo "|------------------------------|-------:|---------:|---------:|---------:|"
for count in 100 1000 5000; do
  rm -f "$inf"/oem*.inf
  for i in $(seq 0 $((count - 1))); do cp "$template" "$inf/oem$i.inf"; done
  bytes=$(cat "$inf"/oem*.inf | wc -c)
  measure "tarvex.exe (Wine)" "$bytes" wine "$build/bin/tarvex.exe"
  measure "ReadFile, tarvex's spelling" "$bytes" wine "$build/tests/bench_read_bytes.exe" 'c:\Windows\INF\'
  measure "ReadFile, lower case (Wine)" "$bytes" wine "$build/tests/bench_read_bytes.exe"
  measure "grep -l (native)" "$bytes" grep -l -e DevedoZudi -e Nelvora -r "$inf" --include='oem*.inf'
done
rm -rf "$scratch"
