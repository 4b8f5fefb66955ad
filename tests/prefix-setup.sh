#!/bin/sh
# Readies the test suite's Wine prefix: makes it if needed, maps drive q: to
# an empty folder (an empty drive root) and r: to one the tests fill,
# installs the pnputil stand-in into system32 (Wine has none) and builds the
# test MSIs and the signed files of the installer tests.
# Usage: prefix-setup.sh <prefix> <stand-in exe> <msi dir> <installer.exe>
#        <signed dir> <keys dir>
set -eu
prefix=$1
standin=$2
msi_dir=$3
installer=$4
signed_dir=$5
keys_dir=$6
scripts=$(cd "$(dirname "$0")/../scripts" && pwd)

"$scripts/wine-prefix.sh" make "$prefix"

empty_drive="$prefix-empty-drive"
rm -rf "$empty_drive"
mkdir -p "$empty_drive"
ln -sfn "$empty_drive" "$prefix/dosdevices/q:"
# r: is a drive root the launcher tests fill with packages of their own.
package_drive="$prefix-package-drive"
rm -rf "$package_drive"
mkdir -p "$package_drive"
ln -sfn "$package_drive" "$prefix/dosdevices/r:"

cp "$standin" "$prefix/drive_c/windows/system32/pnputil.exe"

mkdir -p "$msi_dir"
"$scripts/test-msi.sh" "$msi_dir/Quiet Driver Package.msi" "Quiet Test Package" \
  "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A1001}" "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A2001}" \
  "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A3001}"
"$scripts/test-msi.sh" "$msi_dir/Visible Driver Package.msi" "Visible Test Package" \
  "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A1002}" "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A2002}" \
  "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A3002}"
"$(dirname "$0")/signing/sign-test-files.sh" "$signed_dir" "$keys_dir" "$installer" \
  "$msi_dir/Quiet Driver Package.msi" "$msi_dir/Visible Driver Package.msi"
