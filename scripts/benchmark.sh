#!/bin/bash
# Times tarvex on driver stores of 100, 1,000 and 5,000 INF files that name
# no vendor (the worst case: every file read to its end), against a plain
# ReadFile loop over the same files under Wine and native grep -l, and prints
# a table: median wall time, MB/s and peak memory of several runs, the
# readers taking turns; then tarvex's ratio to the bare read per store. The
# same goes to build/benchmark/<date and time>.txt, one file a run, so that
# the README can quote the range of several runs. Last, tarvex's removal of
# a leftover program folder of 10,000 files in 1,000 folders against cmd's
# rd /s /q of the same tree in the same prefix, median of three; and the
# three programs' sizes.
# Usage: scripts/benchmark.sh [runs per cell, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/process-tree.sh
. scripts/sandbox.sh
runs=${1:-5}
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target tarvex installer install_utility \
  bench_read_bytes >/dev/null

build=$(pwd -P)/build/windows
# A fresh prefix whose server stays up between runs, as on a running machine.
prefix=$build/bench-prefix
take_sandbox "$prefix"
mkdir -p build/benchmark
exec > >(tee "build/benchmark/$(date -u +%Y-%m-%dT%H%M%SZ).txt")
inf=$WINEPREFIX/drive_c/windows/inf

# One INF of about 30 KB, the size of a typical device INF, naming no vendor.
scratch=$(mktemp -d)
# Whatever ends the run, the scratch folder goes and Wine stops.
trap 'rm -rf "$scratch"; scripts/wine-prefix.sh stop "$prefix"' EXIT
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

# run_cell: times every reader runs times, the Wine readers taking turns so
# that a machine that speeds up or slows down during the cell weighs on all
# of them alike; prints one row per reader (median seconds, MB/s, median
# peak memory) and the ratio of tarvex to the bare read of this cell.
run_cell() {
  local labels=("tarvex.exe (Wine)" "ReadFile, tarvex's spelling" \
                "ReadFile, lower case (Wine)" "grep -l (native)")
  local i round
  for i in 0 1 2 3; do : > "$scratch/times$i"; : > "$scratch/peaks$i"; done
  # The Wine readers take turns, each round led by another; native grep runs
  # after all of them, because a Wine reader started right after it ran
  # markedly slower.
  local order=()
  for round in $(seq 1 "$runs"); do
    for i in 0 1 2; do order+=($(( (i + round) % 3 ))); done
  done
  for round in $(seq 1 "$runs"); do order+=(3); done
  for i in "${order[@]}"; do
    {
      local start end
      start=$(date +%s%N)
      case $i in
        0) /usr/bin/time -f '%M' -o "$scratch/time" wine "$build/bin/tarvex.exe" ;;
        1) /usr/bin/time -f '%M' -o "$scratch/time" wine "$build/tests/bench_read_bytes.exe" 'c:\Windows\INF\' ;;
        2) /usr/bin/time -f '%M' -o "$scratch/time" wine "$build/tests/bench_read_bytes.exe" ;;
        3) /usr/bin/time -f '%M' -o "$scratch/time" grep -l -e DevedoZudi -e Nelvora -r "$inf" --include='oem*.inf' ;;
      esac >/dev/null 2>&1 || true
      end=$(date +%s%N)
      awk -v ns=$((end - start)) 'BEGIN { printf "%.3f\n", ns / 1e9 }' >> "$scratch/times$i"
      tail -n 1 "$scratch/time" >> "$scratch/peaks$i"
    }
  done
  local medians=()
  for i in 0 1 2 3; do
    local t m
    t=$(median < "$scratch/times$i")
    m=$(median < "$scratch/peaks$i")
    medians+=("$t")
    printf '| %-28s | %6s | %8s | %8.1f | %8.1f |\n' "${labels[$i]}" "$count" "$t" \
      "$(awk -v b="$bytes" -v t="$t" 'BEGIN { print (t > 0 ? b / 1048576 / t : 0) }')" \
      "$(awk -v k="$m" 'BEGIN { print k / 1024 }')"
  done
  ratios+=("$count INFs: tarvex $(awk -v a="${medians[0]}" -v b="${medians[1]}" 'BEGIN { printf "%.2f", a / b }')x the bare read")
}

echo
echo "| reader                       | INFs   | median s | MB/s     | peak MiB |"
echo "|------------------------------|-------:|---------:|---------:|---------:|"
ratios=()
for count in 100 1000 5000; do
  rm -f "$inf"/oem*.inf
  for i in $(seq 0 $((count - 1))); do cp "$template" "$inf/oem$i.inf"; done
  bytes=$(cat "$inf"/oem*.inf | wc -c)
  # The copies written out before timing: the disk's writing back 125 MB
  # would otherwise compete with the readers for the first minute.
  sync
  run_cell
done

# tarvex reaches its folder removal only after an InstallShield entry naming
# the maker has lost its two uninstall keys: they are laid out anew before
# each of its runs, outside the time taken.
product='{BE0C0000-0000-4000-8000-000000000001}'
installshield="$WINEPREFIX/drive_c/Program Files (x86)/InstallShield Installation Information"
uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
uninstall32='HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
candidate="$WINEPREFIX/drive_c/Program Files (x86)/Devedozudi/ZR420"
tree=$scratch/tree
for folder in $(seq -w 0 999); do
  mkdir -p "$tree/d$folder"
  for file in 0 1 2 3 4 5 6 7 8 9; do : > "$tree/d$folder/f$file.dat"; done
done

# time_removal <reader>: lays the tree out as the candidate, removes it with
# reader, prints the seconds taken and whether anything of it stayed.
time_removal() {
  rm -rf "$candidate"
  mkdir -p "$(dirname "$candidate")"
  cp -r "$tree" "$candidate"
  if [ "$1" = tarvex ]; then
    mkdir -p "$installshield/$product"
    printf '[Startup]\r\nCompany=DevedoZudi\r\n' > "$installshield/$product/setup.ini"
    wine reg add "$uninstall\\$product" /f >/dev/null 2>&1
    wine reg add "$uninstall32\\InstallShield_$product" /f >/dev/null 2>&1
  fi
  sync
  local start end
  start=$(date +%s%N)
  case $1 in
    tarvex) wine "$build/bin/tarvex.exe" ;;
    rd) wine cmd.exe /c rd /s /q 'c:\Program Files (x86)\Devedozudi\ZR420' ;;
  esac >/dev/null 2>&1 || true
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f\n", ns / 1e9 }'
  if [ -e "$candidate" ]; then echo "$1 left the tree behind" >&2; fi
}

rm -f "$inf"/oem*.inf
: > "$scratch/removal-tarvex"
: > "$scratch/removal-rd"
for round in 1 2 3; do
  time_removal tarvex >> "$scratch/removal-tarvex"
  time_removal rd >> "$scratch/removal-rd"
done
removal_tarvex=$(median < "$scratch/removal-tarvex")
removal_rd=$(median < "$scratch/removal-rd")
echo
echo "| remover (Wine), 10,000 files in 1,000 folders | median s |"
echo "|-----------------------------------------------|---------:|"
printf '| %-45s | %8s |\n' "tarvex.exe" "$removal_tarvex" "cmd /c rd /s /q" "$removal_rd"
ratios+=("removal: tarvex $(awk -v a="$removal_tarvex" -v b="$removal_rd" 'BEGIN { printf "%.2f", a / b }')x rd /s /q")

echo
echo "| program       | bytes   |"
echo "|---------------|--------:|"
for program in tarvex installer install; do
  printf '| %-13s | %7s |\n' "$program.exe" "$(stat -c %s "$build/bin/$program.exe")"
done

echo
printf '%s\n' "${ratios[@]}"
rm -rf "$scratch"
