#!/bin/sh
# Every test, exactly as CI runs it: installs what is missing, checks the
# hosted workflow, builds the three programs and runs the whole suite under
# Wine in a prefix of the build's own. Leaves no Wine process running,
# whatever happens.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/validate-workflows.sh

prefix="$PWD/build/windows/wineprefix"
trap 'scripts/wine-prefix.sh stop "$prefix"' EXIT

cmake --preset windows
cmake --build --preset windows
ctest --preset windows --output-on-failure
