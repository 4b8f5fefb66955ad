#!/bin/sh
# Readies the test suite's Wine prefix: makes it if needed, maps drive q: to
# an empty folder (an empty drive root) and r: to one the tests fill,
# installs the pnputil stand-in into system32 (Wine has no pnputil) and
# builds the test MSIs with wixl.
# Usage: prefix-setup.sh <prefix> <wine> <stand-in exe> <data dir> <msi dir>
set -eu
prefix=$1
wine=$2
standin=$3
data=$4
msi_dir=$5
here=$(cd "$(dirname "$0")" && pwd)

"$here/../cmake/wine-run.sh" "$prefix" "$wine" cmd.exe /c exit 0

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
build_msi() { # <file name> <product name> <product code> <upgrade code> <component guid>
  (cd "$data" && wixl -a x64 -o "$msi_dir/$1" \
    -D ProductName="$2" -D ProductCode="$3" -D UpgradeCode="$4" \
    -D ComponentGuid="$5" -D PayloadSource=payload.txt \
    test-package.wxs)
}
build_msi "Quiet Driver Package.msi" "Quiet Test Package" \
  "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A1001}" "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A2001}" \
  "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A3001}"
build_msi "Visible Driver Package.msi" "Visible Test Package" \
  "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A1002}" "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A2002}" \
  "{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A3002}"
