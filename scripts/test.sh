#!/bin/sh
# Builds the three programs and runs every test under Wine, in a prefix of
# the build's own. Leaves no Wine process running.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

prefix="$PWD/build/windows/wineprefix"
stop_wine() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
}
trap stop_wine EXIT

cmake --preset windows
cmake --build --preset windows
ctest --preset windows --output-on-failure
