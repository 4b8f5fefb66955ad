#!/bin/bash
# The demo and the benchmark never work on a Wine prefix they did not make:
# with WINEPREFIX naming a prefix of the caller's and the sandbox step made
# to fail (a wineboot that fails, first on the PATH), each stops with its
# line and a failing status, and the caller's prefix is byte for byte as it
# was. wine-prefix.sh refuses to remove a folder that is not the project's.
# Usage: foreign-prefix.sh <source dir>
set -euo pipefail
source_dir=$1
# Outside the project, as a caller's own prefix is.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/caller's prefix/drive_c/windows/system32"
caller="$work/caller's prefix"
printf 'WINE REGISTRY Version 2\n' > "$caller/system.reg"
printf 'mine\n' > "$caller/drive_c/windows/system32/pnputil.exe"
printf '#!/bin/sh\nexit 1\n' > "$work/bin/wineboot"
chmod +x "$work/bin/wineboot"
# Every file's path, size and content, to compare.
state() { (cd "$caller" && find . -printf '%p %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort); }
before=$(state)

status=0
for script in demo benchmark; do
  set +e
  output=$(cd "$source_dir" && WINEPREFIX=$caller PATH="$work/bin:$PATH" \
    "scripts/$script.sh" 1 2>&1)
  code=$?
  set -e
  if [ "$code" -eq 0 ] || ! grep -q "could not be made: stopped before any change" <<<"$output"; then
    echo "$script.sh went on without its sandbox (exit $code):"
    tail -n 5 <<<"$output"
    status=1
  else
    echo "$script.sh stopped: $(grep "stopped before any change" <<<"$output")"
  fi
  if [ "$(state)" != "$before" ]; then
    echo "$script.sh changed the caller's prefix"
    status=1
  fi
done

if "$source_dir/scripts/wine-prefix.sh" sandbox "$caller" 2>/dev/null; then
  echo "wine-prefix.sh sandbox took a folder that is not the project's"
  status=1
elif [ "$(state)" != "$before" ]; then
  echo "wine-prefix.sh sandbox changed a folder that is not the project's"
  status=1
else
  echo "wine-prefix.sh sandbox refused the caller's folder"
fi
exit $status
