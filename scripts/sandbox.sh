# Sourced by the demo and the benchmark: take_sandbox <prefix> makes the
# Wine prefix anew (scripts/wine-prefix.sh sandbox) and takes its
# environment, or stops the script with a clear line before anything is
# changed: when the prefix could not be made, and when the WINEPREFIX that
# results is not that prefix, marked as made here, under the project's
# build/ folder. A prefix of the caller's is never touched.
take_sandbox() {
  local prefix=$1 environment build
  build=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)/build
  if ! environment=$(scripts/wine-prefix.sh sandbox "$prefix"); then
    echo "The sandbox Wine prefix $prefix could not be made: stopped before any change." >&2
    exit 1
  fi
  eval "$environment"
  case ${WINEPREFIX:-} in
    "$build"/*) ;;
    *)
      echo "WINEPREFIX is ${WINEPREFIX:-unset}, not a sandbox under $build: stopped before any change." >&2
      exit 1
      ;;
  esac
  if [ "$WINEPREFIX" != "$prefix" ] || [ ! -f "$WINEPREFIX/.driver-tools-prefix" ]; then
    echo "WINEPREFIX is $WINEPREFIX, not the sandbox $prefix made here: stopped before any change." >&2
    exit 1
  fi
}
