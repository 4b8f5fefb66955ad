# Sourced by the demo and the benchmark: makes a fresh Wine prefix at $1,
# with one persistent server whose services hold none of our pipes open, and
# stops every Wine process in it when the calling script exits.
export WINEPREFIX=$1
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
stop_wine() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}
trap stop_wine EXIT

stop_wine
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
# The oldest Windows the programs serve: pnputil's /delete-driver ...
# /uninstall exists from Windows 10 version 1607 on.
wine winecfg -v win10 >/dev/null 2>&1
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
