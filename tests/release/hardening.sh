#!/bin/sh
# Checks each built program for the mitigations it must carry, reading the
# file itself: ASLR with high entropy and a relocation section to make it
# work, NX, no section both writable and executable, no shared writable
# section, stack protection compiled in, and the manifest's execution
# level (the imports are read back by the unit tests). CMake hands it the
# files.
# Usage: hardening.sh <objdump> <nm> <compile_commands.json>
#          <tarvex.exe> <installer.exe> <install.exe> --objects <object or
#          library>...
set -eu
objdump=$1
nm=$2
commands=$3
shift 3
programs=""
while [ "$#" -gt 0 ] && [ "$1" != --objects ]; do
  programs="$programs $1"
  shift
done
[ "$#" -gt 0 ] && shift
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

u32() { od -An -t u4 -j "$2" -N 4 "$1" | tr -d ' '; }
u16() { od -An -t u2 -j "$2" -N 2 "$1" | tr -d ' '; }

check_sections() { # <exe>
  relocations=no
  pe=$(u32 "$1" 60)
  count=$(u16 "$1" $((pe + 6)))
  optional=$(u16 "$1" $((pe + 20)))
  table=$((pe + 24 + optional))
  i=0
  while [ "$i" -lt "$count" ]; do
    header=$((table + i * 40))
    name=$(dd if="$1" bs=1 skip="$header" count=8 2>/dev/null | tr -d '\0')
    flags=$(u32 "$1" $((header + 36)))
    writable=$(( (flags >> 31) & 1 ))
    executable=$(( (flags >> 29) & 1 ))
    shared=$(( (flags >> 28) & 1 ))
    [ "$writable$executable" = 11 ] && fail "$1: section $name is writable and executable"
    [ "$writable$shared" = 11 ] && fail "$1: section $name is shared and writable"
    [ "$name" = .reloc ] && relocations=yes
    i=$((i + 1))
  done
  [ "$relocations" = yes ] || fail "$1: no relocation section, so no ASLR"
}

for exe in $programs; do
  program=$(basename "$exe" .exe)
  # The level the build gives the program, in deliverables.txt beside bin/.
  level=$(awk -F'\t' -v p="$program" '$1 == p { print $4 }' \
    "$(dirname "$exe")/../deliverables.txt")
  [ -n "$level" ] || fail "$program: not among the deliverables"

  dll=$("$objdump" -p "$exe" | awk '/DllCharacteristics/ { print $2 }')
  for bit in 20:HIGH_ENTROPY_VA 40:DYNAMIC_BASE 100:NX_COMPAT; do
    mask=$((0x${bit%%:*}))
    [ $(( 0x$dll & mask )) -ne 0 ] || fail "$program: ${bit#*:} not set"
  done

  check_sections "$exe"

  # The stack protector's runtime is linked in, and our own objects call it;
  # its guard is seeded from the system's generator.
  grep -q -a "stack smashing detected" "$exe" ||
    fail "$program: no stack protector runtime"
  grep -a -q "requestedExecutionLevel level=\"$level\"" "$exe" ||
    fail "$program: manifest does not ask for $level"
done

# The objects and libraries with buffers on the stack (a resource object has
# no code; the guard's seed has no buffer, and must carry no guard).
for object in "$@"; do
  case $object in *.rc.obj | *.res | *process_start*) continue ;; esac
  "$nm" "$object" 2>/dev/null | grep -q "U __stack_chk_fail" ||
    fail "$object: not compiled with stack protection"
done
for source in tarvex/main.cpp installer/main.cpp install/main.cpp \
              tarvex/dirent.cpp toolkit/system_tool.cpp; do
  flags=$(grep "\"file\": \".*$source\"" -B3 "$commands")
  for flag in -fstack-protector-strong -D_FORTIFY_SOURCE=2; do
    echo "$flags" | grep -q -- "$flag" || fail "$source: not compiled with $flag"
  done
done

if [ "$failures" -ne 0 ]; then
  echo "$failures hardening check(s) failed"
  exit 1
fi
echo "all three programs: ASLR (high entropy, relocations), NX, no W+X or" \
  "shared writable section, stack protection, manifest" \
  "level as the deliverables list gives it"
