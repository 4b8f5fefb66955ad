#!/bin/sh
# Signs a release with a throwaway self-signed certificate and verifies each
# program's Authenticode signature; checks the release's checksums.
# Usage: signing.sh <bin dir> <source dir> <work dir> (the programs: those
#        the build lists in deliverables.txt beside bin/)
set -eu
bin=$1
source_dir=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Driver tools test signer" \
  -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" \
  -out "$work/signer.p12" -passout pass:throwaway
SIGNING_PASSWORD=throwaway "$source_dir/scripts/make-dist.sh" "$bin" "$work/dist" \
  "$work/signer.p12" >/dev/null

(cd "$work/dist" && sha256sum -c --quiet SHA256SUMS)
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && unzip -q "$work"/dist/driver-tools-*.zip)
(cd "$work"/unpacked/* && sha256sum -c --quiet SHA256SUMS)
for program in $(cut -f1 "$bin/../deliverables.txt"); do
  exe=$(ls "$work"/unpacked/*/$program.exe)
  osslsigncode verify -CAfile "$work/cert.pem" -in "$exe" >"$work/verify.txt" 2>&1 || {
    cat "$work/verify.txt"
    echo "signature of $program.exe does not verify"
    exit 1
  }
  # The unsigned program must not verify: the check above is a real one.
  if osslsigncode verify -CAfile "$work/cert.pem" -in "$bin/$program.exe" >/dev/null 2>&1; then
    echo "unsigned $program.exe verified: the check proves nothing"
    exit 1
  fi
  echo "signed and verified: $program.exe"
done
rm -rf "$work"
