#!/usr/bin/env bash
# wine_run.sh <prefix> <seconds> <program.exe> [arguments...]
# Runs a console Windows program under Wine in the test prefix, bounded.
set -uo pipefail
export WINEPREFIX=$1 WINEDEBUG=-all
limit=$2
shift 2
[[ -d $WINEPREFIX/drive_c ]] || { echo "no Wine prefix at $WINEPREFIX (the setup test failed)"; exit 1; }
DISPLAY= timeout "$limit" wine "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' \
    -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2)
status=$?
timeout 30 wineserver -w
if ((status == 124)); then
    echo "$(basename "$1") did not finish within $limit s under Wine" >&2
fi
exit $status
