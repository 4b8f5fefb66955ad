#!/bin/bash
# Shows the three programs at work on a sandboxed Windows machine: a fresh
# Wine prefix that carries an old driver installation. tarvex removes it,
# installer installs a new package, install hands a line to pnputil.
set -euo pipefail
cd "$(dirname "$0")/.."
# INT, TERM and HUP end the demo through its EXIT trap, which stops Wine.
. scripts/process-tree.sh
. scripts/sandbox.sh
root=$(pwd -P)
scripts/install-deps.sh

build=$root/build/windows
demo=$root/tests/demo
section() { printf '\n== %s ==\n' "$1"; }

section "Building"
cmake --preset windows >/dev/null
cmake --build --preset windows --target tarvex installer install_utility \
  pnputil_standin demo_inventory | tail -1

started=$SECONDS
section "Making a fresh sandbox machine (Wine prefix $build/demo-prefix)"
prefix=$build/demo-prefix
take_sandbox "$prefix"
c=$WINEPREFIX/drive_c
win() { wine "$@" 2>/dev/null; }
cp "$build/tests/standin/pnputil.exe" "$c/windows/system32/pnputil.exe"
echo "Windows $(win cmd /c ver | tr -d '\r' | grep -o '[0-9][0-9.]*' | head -1), with a pnputil stand-in in system32"

section "Laying an old installation onto it, as earlier releases left it"
mkdir -p "$c/demo/drivers"
cp "$demo"/*.inf "$c/demo/drivers/"
for inf in contoso-mouse fabrikam-audio old-kr516; do
  win 'c:\windows\system32\pnputil.exe' /add-driver "c:\\demo\\drivers\\$inf.inf" /install
done
echo "driver store: contoso-mouse, fabrikam-audio and the old Nelvora driver added with pnputil"
is="$c/Program Files (x86)/InstallShield Installation Information"
mkdir -p "$is/{9F1C5B2E-4A0D-4E7B-8C31-5D2A7E6B0F42}" "$is/{3C7A9E15-2B6D-4F80-9A1E-7C4B2D8E5F13}"
printf '[Startup]\r\nProduct=KR516 SCR Driver\r\nCompany=Nelvora\r\n' \
  > "$is/{9F1C5B2E-4A0D-4E7B-8C31-5D2A7E6B0F42}/setup.ini"
printf '[Startup]\r\nProduct=Mouse Suite\r\nCompany=Contoso\r\n' \
  > "$is/{3C7A9E15-2B6D-4F80-9A1E-7C4B2D8E5F13}/setup.ini"
echo "InstallShield entries: the old driver's and another product's"
cp "$demo/old-installation.reg" "$c/demo/"
win reg import 'c:\demo\old-installation.reg' /reg:64
echo "uninstall keys: two per product, 64-bit view (InstallShield_ under WOW6432Node, bare one)"
zr="$c/Program Files (x86)/Devedozudi/ZR420"
mkdir -p "$zr/bin" "$zr/docs"
printf 'driver\n' > "$zr/bin/zr420.sys"
printf 'tool\n' > "$zr/bin/zr420cfg.exe"
printf 'manual\n' > "$zr/docs/manual.txt"
echo "program folder: c:\\Program Files (x86)\\Devedozudi\\ZR420 with a few files"

inventory() { win "$build/tests/demo_inventory.exe" | tr -d '\r'; }

# side_by_side <before> <after>: every item of either, with its fate.
side_by_side() {
  awk -F'\t' '
    NR == FNR { key = $1 FS $2; if (!(key in seen)) order[++n] = key;
                seen[key] = 1; before[key] = 1; detail[key] = $3; next }
    { key = $1 FS $2; if (!(key in seen)) order[++n] = key;
      seen[key] = 1; after[key] = 1; detail[key] = $3 }
    END {
      printf "%-20s %-78s %-7s %-7s %s\n", "what", "item", "before", "after", "detail"
      for (i = 1; i <= n; i++) {
        split(order[i], part, FS); k = order[i]
        fate = (k in before) ? ((k in after) ? "kept" : "GONE") : "NEW"
        printf "%-20s %-78s %-7s %-7s %s\n", part[1], part[2],
               (k in before) ? "yes" : "-", (k in after) ? "yes" : "-",
               fate "  " detail[k]
      }
    }' "$1" "$2"
}

section "Running tarvex.exe"
inventory > "$build/demo-before.txt"
: > "$c/pnputil-standin.log"
set +e
win "$build/bin/tarvex.exe"
tarvex_rc=$?
set -e
echo "tarvex exit code: $tarvex_rc"
echo "pnputil received: $(tr -d '\r' < "$c/pnputil-standin.log")"
inventory > "$build/demo-after.txt"

section "The machine before and after tarvex"
side_by_side "$build/demo-before.txt" "$build/demo-after.txt"

section "Running installer.exe /S in a package folder"
mkdir -p "$c/demo/package"
scripts/test-msi.sh "$c/demo/package/Demo Driver Package.msi" \
  "Demo Driver Package" "{5D0E3F21-7C4A-4B19-8E62-1A9F3C7D2B01}" \
  "{5D0E3F21-7C4A-4B19-8E62-1A9F3C7D2B02}" \
  "{5D0E3F21-7C4A-4B19-8E62-1A9F3C7D2B03}"
echo "package folder c:\\demo\\package holds: $(ls "$c/demo/package")"
set +e
(cd "$c/demo/package" && win "$build/bin/installer.exe" /S)
installer_rc=$?
set -e
echo "installer exit code: $installer_rc (it does not wait for Windows Installer)"
for _ in $(seq 1 120); do
  inventory > "$build/demo-installed.txt"
  grep -q "Demo Driver Package" "$build/demo-installed.txt" && break
  sleep 0.5
done
grep -E "Demo Driver Package|Driver Tools Tests" "$build/demo-installed.txt" |
  awk -F'\t' '{ printf "%-20s %-78s %s\n", $1, $2, $3 }'
payload="$c/Program Files/Driver Tools Tests/Demo Driver Package/payload.txt"
[ -f "$payload" ] && echo "payload              c:\Program Files\Driver Tools Tests\Demo Driver Package\payload.txt: $(cat "$payload")"

section "Running install.exe /add-driver c:\\demo\\drivers\\new-zr420.inf /install"
: > "$c/pnputil-standin.log"
set +e
win "$build/bin/install.exe" /add-driver 'c:\demo\drivers\new-zr420.inf' /install
install_rc=$?
set -e
echo "pnputil received: $(tr -d '\r' < "$c/pnputil-standin.log")"
echo "install exit code: $install_rc (always 1, by design)"
inventory | grep "driver store" | awk -F'\t' '{ printf "%-20s %-40s %s\n", $1, $2, $3 }'

section "Summary"
gone=$(awk -F'\t' 'NR==FNR { a[$1 FS $2]; next } !(($1 FS $2) in a)' \
  "$build/demo-after.txt" "$build/demo-before.txt" | wc -l)
kept=$(awk -F'\t' 'NR==FNR { a[$1 FS $2]; next } (($1 FS $2) in a)' \
  "$build/demo-after.txt" "$build/demo-before.txt" | wc -l)
echo "tarvex:    exit $tarvex_rc; removed $gone items of the old installation, left $kept others as they were"
echo "installer: exit $installer_rc; Demo Driver Package installed through Windows Installer"
echo "install:   exit $install_rc; pnputil got the argument line unchanged"
elapsed=$((SECONDS - started))
# Stopped here, so that the last line says what is so.
scripts/wine-prefix.sh stop "$prefix"
echo "sandbox time: $elapsed s; Wine stopped, nothing left running"
