#!/bin/bash
# Every test, exactly as CI runs it: installs what is missing, checks the
# hosted workflow, builds the three programs and runs the whole suite under
# Wine in a prefix of the build's own. Leaves nothing of it running, and no
# Wine process, whether it ends, fails or is stopped (INT, TERM, HUP).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/process-tree.sh
prefix="$PWD/build/windows/wineprefix"
trap 'stop_guarded; scripts/wine-prefix.sh stop "$prefix"' EXIT

guarded scripts/install-deps.sh
guarded scripts/validate-workflows.sh
guarded cmake --preset windows
guarded cmake --build --preset windows
guarded ctest --preset windows --output-on-failure
