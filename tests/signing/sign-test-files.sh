#!/bin/sh
# Makes the signed files the installer tests need: the vendor's throwaway
# key is the one the build made for the tests' keyed installer (in the
# build folder), another is made here (and deleted again). Signed with the
# vendor's key: installer.exe as built without a key, and the test package;
# with the other key: that package and another product's; unsigned, a junk
# file, and the vendor's signature of the package put on another package
# (a content the signature does not cover).
# Usage: sign-test-files.sh <out dir> <keys dir> <installer.exe>
#        <package.msi> <another package.msi>
set -eu
out=$1
keys=$2
installer=$3
package=$4
another=$5
rm -rf "$out"
mkdir -p "$out/keys"
cp "$keys/vendor.crt" "$keys/vendor.key" "$out/keys/"

openssl req -x509 -newkey rsa:2048 -nodes -days 30 \
  -subj "/CN=Driver tools test signer (other)" \
  -addext "extendedKeyUsage=codeSigning" \
  -keyout "$out/keys/other.key" -out "$out/keys/other.crt" 2>/dev/null

# sign <key> <in> <out>
sign() {
  osslsigncode sign -certs "$out/keys/$1.crt" -key "$out/keys/$1.key" \
    -h sha256 -n "Driver tools test" -in "$2" -out "$3" >/dev/null
}
sign vendor "$installer" "$out/installer.exe"
sign vendor "$package" "$out/same-key.msi"
sign other "$package" "$out/other-key.msi"
sign other "$another" "$out/other-key-other-product.msi"
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
