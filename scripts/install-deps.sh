#!/bin/sh
# Installs, from Debian's packages, whatever this machine still lacks to
# cross-build the programs and test them under Wine, and debootstrap for the
# Debian 13 leg of CI, and Clang with lld, the second compiler (the clang
# preset). Run as root.
set -eu
packages="cmake ninja-build make g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 mingw-w64-tools wine wine64 msitools wixl
  googletest zip unzip osslsigncode openssl time debootstrap clang lld"

missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
      grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
