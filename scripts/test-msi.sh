#!/bin/sh
# Builds a small MSI from tests/data/test-package.wxs with wixl: the test
# packages of the suite and the demo's package. It installs one payload file
# under c:\Program Files\Driver Tools Tests\<product name>.
# Usage: test-msi.sh <out.msi> <product name> <product code> <upgrade code>
#          <component guid>
set -eu
out=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
data=$(cd "$(dirname "$0")/../tests/data" && pwd)
cd "$data"
wixl -a x64 -o "$out" -D ProductName="$2" -D ProductCode="$3" \
  -D UpgradeCode="$4" -D ComponentGuid="$5" -D PayloadSource=payload.txt \
  test-package.wxs
