#!/bin/sh
# Two clean builds of the same sources in two different build folders must
# give the same programs and the same release zip, byte for byte.
# Usage: reproducible-build.sh <source dir> <work dir>
set -eu
source_dir=$1
work=$2
rm -rf "$work"
for build in one second-build; do
  cmake -S "$source_dir" -B "$work/$build" -G Ninja -DBUILD_TESTING=OFF \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-x86_64-w64-mingw32.cmake" \
    >/dev/null
  cmake --build "$work/$build" --target tarvex installer install_utility >/dev/null
  "$source_dir/scripts/make-dist.sh" "$work/$build/bin" "$work/$build/dist" >/dev/null
done
status=0
for file in bin/tarvex.exe bin/installer.exe bin/install.exe dist/SHA256SUMS; do
  if cmp -s "$work/one/$file" "$work/second-build/$file"; then
    echo "same: $file"
  else
    echo "DIFFERENT: $file"
    status=1
  fi
done
for build in one second-build; do
  # Nothing of the build's whereabouts may be written into a program.
  if grep -l -a -e "$work" -e "$source_dir" "$work/$build"/bin/*.exe; then
    echo "a build or source path is written into the programs above"
    status=1
  fi
done
rm -rf "$work"
exit $status
