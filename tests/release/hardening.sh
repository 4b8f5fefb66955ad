#!/bin/sh
# Checks each built program for the mitigations it must carry, through
# objdump and nm: ASLR with high entropy, NX, and stack protection compiled
# in. The sections (no W+X, none shared and writable, relocations), the
# imports, the subsystem and the manifest are read back by the unit tests'
# PE reader. CMake hands it the files.
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

for exe in $programs; do
  program=$(basename "$exe" .exe)
  dll=$("$objdump" -p "$exe" | awk '/DllCharacteristics/ { print $2 }')
  for bit in 20:HIGH_ENTROPY_VA 40:DYNAMIC_BASE 100:NX_COMPAT; do
    mask=$((0x${bit%%:*}))
    [ $(( 0x$dll & mask )) -ne 0 ] || fail "$program: ${bit#*:} not set"
  done

  # The stack protector's runtime is linked in, and our own objects call it;
  # its guard is seeded from the system's generator.
  grep -q -a "stack smashing detected" "$exe" ||
    fail "$program: no stack protector runtime"
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
echo "all three programs: ASLR (high entropy), NX, stack protection"
