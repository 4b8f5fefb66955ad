#!/bin/sh
# Makes the signed files the installer tests need, with two throwaway
# self-signed code-signing keys made here (never kept in the repository):
# installer.exe signed with the vendor's key, the test package signed with
# the vendor's key and with another, unsigned, a junk file, and the
# vendor's signature of the package put on another package (a content the
# signature does not cover).
# Usage: sign-test-files.sh <out dir> <installer.exe> <package.msi>
#        <another package.msi>
set -eu
out=$1
installer=$2
package=$3
another=$4
rm -rf "$out"
mkdir -p "$out/keys"

for key in vendor other; do
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 \
    -subj "/CN=Driver tools test signer ($key)" \
    -addext "extendedKeyUsage=codeSigning" \
    -keyout "$out/keys/$key.key" -out "$out/keys/$key.crt" 2>/dev/null
done

# sign <key> <in> <out>
sign() {
  osslsigncode sign -certs "$out/keys/$1.crt" -key "$out/keys/$1.key" \
    -h sha256 -n "Driver tools test" -in "$2" -out "$3" >/dev/null
}
sign vendor "$installer" "$out/installer.exe"
sign vendor "$package" "$out/same-key.msi"
sign other "$package" "$out/other-key.msi"
cp "$package" "$out/unsigned.msi"
printf 'not a package\r\n' > "$out/junk.msi"
# The vendor's signature of one package on another. osslsigncode checks
# what it attaches and says it fails, but writes the file all the same.
osslsigncode extract-signature -in "$out/same-key.msi" -out "$out/keys/signature" \
  >/dev/null
osslsigncode attach-signature -sigin "$out/keys/signature" -in "$another" \
  -out "$out/tampered.msi" >/dev/null 2>&1 || true
test -s "$out/tampered.msi"
rm -rf "$out/keys"
