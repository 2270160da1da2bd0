#!/usr/bin/env bash
# wine_run.sh <prefix> <seconds> <program.exe> [arguments...]
# Runs a console Windows program under Wine in the test prefix, bounded.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_common.sh"
wine_use_prefix "$1"
limit=$2
shift 2

DISPLAY='' without_wine32_note wine_command timeout "$limit" wine "$@"
status=$?
wine_command timeout 30 wineserver -w
if ((status == 124)); then
    echo "$(basename "$1") did not finish within $limit s under Wine" >&2
fi
exit $status
