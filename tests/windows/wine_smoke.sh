#!/usr/bin/env bash
# wine_smoke.sh <prefix> <driver.exe> <Kestrove.exe>
# Runs Kestrove.exe under Wine on a private Xvfb server, driven and checked
# by the Win32 test driver.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_common.sh"
wine_use_prefix "$1"
driver=$2
exe=$3
width=1280
height=1024

[[ -f $exe ]] || { echo "missing $exe"; exit 1; }

displayfd=$(mktemp)
Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp 3>"$displayfd" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    timeout 30 wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -f "$displayfd"
}
trap cleanup EXIT
for _ in $(seq 100); do
    [[ -s $displayfd ]] && break
    sleep 0.1
done
[[ -s $displayfd ]] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$displayfd")

windows_exe=$(timeout 30 winepath -w "$exe" 2>/dev/null)
[[ -n $windows_exe ]] || { echo "Wine failed to start: winepath gave no path for $exe"; exit 1; }
without_wine32_note timeout 180 wine "$driver" "$windows_exe" "$width" "$height"
status=$?
if ((status == 124)); then
    echo "the Wine smoke run did not finish within 180 s" >&2
fi
exit $status
