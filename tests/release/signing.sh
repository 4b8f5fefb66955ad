#!/bin/sh
# Signs a release with a throwaway self-signed certificate and verifies each
# program's Authenticode signature; checks the release's checksums. A build
# that is not built for the certificate is refused; one configured with
# the certificate carries its key.
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
if SIGNING_PASSWORD=throwaway "$source_dir/scripts/make-dist.sh" "$bin" \
  "$work/refused" "$work/signer.p12" >/dev/null 2>&1; then
  echo "a build without the signing certificate's key was signed"
  exit 1
fi
# The release build, as make dist with signing makes it (one job: it runs
# beside the Wine tests).
(cd "$source_dir" && SIGNING_PASSWORD=throwaway cmake --preset windows \
  -B "$work/build" -DBUILD_TESTING=OFF -DSIGNING_PKCS12="$work/signer.p12" \
  >/dev/null)
cmake --build "$work/build" -j 1 --target tarvex installer install_utility >/dev/null
bin=$work/build/bin
openssl x509 -in "$work/cert.pem" -noout -pubkey |
  openssl pkey -pubin -outform DER > "$work/key.der"
hex() { od -An -v -tx1 "$1" | tr -d ' \n'; }
case "$(hex "$bin/installer.exe")" in
  *"$(hex "$work/key.der")"*) ;;
  *)
    echo "installer.exe does not carry the signing certificate's key"
    exit 1
    ;;
esac
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
