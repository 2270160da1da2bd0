#!/usr/bin/env bash
# wine_prefix.sh setup <prefix> <Magnification.dll> | cleanup <prefix>
# setup: a fresh Wine prefix for this test run (wineboot -i, bounded), with
# the tests' stand-in Magnification.dll in its system folder. That folder is
# the only place the stand-in is ever copied to: it is for tests alone.
# cleanup: stops the prefix's wineserver so nothing outlives the run.
# With KESTROVE_WINE_ROOT set, the Wine of that Debian root makes the prefix
# (wine_common.sh).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_common.sh"
action=$1
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

case $action in
setup)
    wine_command sh -c 'command -v wine' >/dev/null ||
        { echo "wine is not installed (scripts/deps/windows.txt)"; exit 1; }
    wine_command wineserver -k 2>/dev/null
    rm -rf "$WINEPREFIX"
    # No display: the prefix needs none, and none can be left behind in it.
    if ! DISPLAY='' wine_command timeout 240 wineboot -i >"$WINEPREFIX.boot.log" 2>&1; then
        echo "Wine failed to start: wineboot -i did not finish within 240 s or failed" >&2
        cat "$WINEPREFIX.boot.log" >&2
        exit 1
    fi
    wine_command timeout 60 wineserver -w
    [[ -d $WINEPREFIX/drive_c/windows ]] || { echo "Wine failed to create $WINEPREFIX" >&2; exit 1; }
    # system32 of a 64-bit prefix holds the 64-bit DLLs.
    standin=${3:-}
    [[ -f $standin ]] || { echo "missing the stand-in Magnification.dll: '$standin'" >&2; exit 1; }
    cp "$standin" "$WINEPREFIX/drive_c/windows/system32/Magnification.dll" || exit 1
    # Wine 10 has a Magnification.dll of its own (stubs) and would load it in
    # place of the file in system32.
    if ! DISPLAY='' wine_command timeout 60 wine reg add 'HKCU\Software\Wine\DllOverrides' \
        /v magnification /d native /f >/dev/null 2>&1; then
        echo "Wine failed to set the stand-in's load order" >&2
        exit 1
    fi
    wine_command timeout 60 wineserver -w
    echo "Wine prefix ready: $WINEPREFIX ($(wine_command wine --version 2>/dev/null))"
    ;;
cleanup)
    wine_command wineserver -k 2>/dev/null
    exit 0
    ;;
*)
    echo "usage: $0 setup <prefix> <Magnification.dll> | cleanup <prefix>" >&2
    exit 2
    ;;
esac
