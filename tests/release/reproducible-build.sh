#!/bin/sh
# Two clean builds of the same sources in two different build folders, for
# the same signing certificate, must give the same programs and the same
# release zip, byte for byte.
# Usage: reproducible-build.sh <source dir> <work dir>
set -eu
source_dir=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Driver tools test signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
# Through the preset, as every build is made (warnings as errors among its
# settings), each in a folder of its own.
for build in one second-build; do
  (cd "$source_dir" && cmake --preset windows -B "$work/$build" \
    -DBUILD_TESTING=OFF -DPACKAGE_SIGNER_CERTIFICATE="$work/cert.pem" >/dev/null)
  # One job: it runs beside the Wine tests, which must keep a core of their own.
  cmake --build "$work/$build" -j 1 --target tarvex installer install_utility >/dev/null
  "$source_dir/scripts/make-dist.sh" "$work/$build/bin" "$work/$build/dist" >/dev/null
done
status=0
programs=$(cut -f1 "$work/one/deliverables.txt")
for file in $(printf 'bin/%s.exe ' $programs) dist/SHA256SUMS; do
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
