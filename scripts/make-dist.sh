#!/bin/sh
# Packs the three built programs, optionally Authenticode-signed, with the
# README for whoever ships them and the checksums of both, into
# <out>/driver-tools-<version>.zip, and the zip's checksum into
# <out>/SHA256SUMS. Unsigned, the zip is the same byte for byte from
# any build of the same commit.
# Usage: make-dist.sh <bin dir> <out dir> [<pkcs12 certificate>]
#        (the certificate's password, if any, in SIGNING_PASSWORD); the
#        programs are those the build lists in deliverables.txt beside bin/.
set -eu
bin=$1
out=$2
pkcs12=${3:-}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
programs=$(cut -f1 "$bin/../deliverables.txt")

version=$(git -C "$source_dir" describe --always --dirty 2>/dev/null || echo local)
epoch=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || echo 315532800)
name=driver-tools-$version

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
mkdir -p "$staging/$name" "$out"

# The password goes to osslsigncode in a file only this user can read: on
# its command line every process of the machine could read it.
password=$staging/password
(umask 077 && printf '%s' "${SIGNING_PASSWORD:-}" > "$password")
# A signed installer.exe must have been built for the key it is signed
# with: the guard on its packages compares the key built into it, not its
# own signature.
if [ -n "$pkcs12" ]; then
  openssl pkcs12 -in "$pkcs12" -nokeys -clcerts -passin "file:$password" |
    openssl x509 -noout -pubkey | openssl pkey -pubin -outform DER \
    > "$staging/signing-key.der"
  if ! cmp -s "$staging/signing-key.der" "$bin/../installer-signer-key.der"; then
    echo "installer.exe was not built for the key of $pkcs12: configure" \
      "the build with -DSIGNING_PKCS12=$pkcs12 (or" \
      "-DPACKAGE_SIGNER_CERTIFICATE=<its certificate>) and build again" >&2
    exit 1
  fi
fi
for program in $programs; do
  if [ -n "$pkcs12" ]; then
    osslsigncode sign -pkcs12 "$pkcs12" -readpass "$password" \
      -h sha256 -n "$program" -in "$bin/$program.exe" \
      -out "$staging/$name/$program.exe" >/dev/null
  else
    cp "$bin/$program.exe" "$staging/$name/$program.exe"
  fi
done
rm -f "$password"
cp "$source_dir/packaging/README.txt" "$staging/$name/README.txt"
# shellcheck disable=SC2046
(cd "$staging/$name" && sha256sum $(printf '%s.exe ' $programs) README.txt) \
  > "$staging/$name/SHA256SUMS"

# Fixed times, order and attributes: the archive depends only on the files.
find "$staging/$name" -exec touch -h -d "@$epoch" {} +
# Only this release in the folder, so SHA256SUMS speaks for all of it.
rm -f "$out"/driver-tools-*.zip
(cd "$staging" && LC_ALL=C find "$name" -type f | LC_ALL=C sort |
  TZ=UTC zip -q -X -D "$out/$name.zip" -@)

(cd "$out" && sha256sum "$name.zip") > "$out/SHA256SUMS"
echo "$out/$name.zip"
cat "$out/SHA256SUMS" "$staging/$name/SHA256SUMS"
