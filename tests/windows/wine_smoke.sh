#!/usr/bin/env bash
# wine_smoke.sh <prefix> <driver.exe> <Kestrove.exe> <kestrove_wine_screen>
# Runs Kestrove.exe under Wine on a private Xvfb server, driven and checked
# by the Win32 test driver. The picture is checked from the X side: a pattern
# that an X client puts on the screen must show in the mirror, scaled to fit
# its client area, and a change of the pattern must follow. The prefix's
# stand-in Magnification.dll paints the mirror.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_common.sh"
wine_use_prefix "$1"
driver=$2
exe=$3
screen_tool=$4
width=1280
height=1024

[[ -f $exe ]] || { echo "missing $exe"; exit 1; }
[[ -x $screen_tool ]] || { echo "missing $screen_tool"; exit 1; }

work=$(mktemp -d)
patterns=()
Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    timeout 30 wineserver -k 2>/dev/null
    for pid in "${patterns[@]}"; do
        kill "$pid" 2>/dev/null
    done
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    sleep 0.1
done
[[ -s $work/display ]] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

# show_pattern <n>: pattern n on the screen, below every window and below
# the patterns already shown.
show_pattern() {
    "$screen_tool" show "$1" >"$work/pattern$1" &
    patterns+=($!)
    for _ in $(seq 100); do
        grep -qx ready "$work/pattern$1" && return 0
        sleep 0.1
    done
    echo "FAIL: pattern $1 could not be put on the screen"
    return 1
}

# check_picture <x> <y> <width> <height>: the mirror's client area on the
# screen, as the driver reports it while Kestrove runs: once when the window
# opens, where the pattern is also changed, and once after a resize.
pictures_checked=0
check_picture() {
    ((++pictures_checked))
    if ((pictures_checked == 1)); then
        "$screen_tool" expect 0 "$@" 10 || return 1
        # The change: pattern 1 goes in below pattern 0, which then leaves.
        show_pattern 1 || return 1
        kill "${patterns[0]}"
    fi
    "$screen_tool" expect 1 "$@" 10
}

show_pattern 0 || exit 1

# Kestrove runs from a folder that also holds a Magnification.dll: the
# driver checks that the program loads the system folder's instead.
mkdir "$work/app"
cp "$exe" "$work/app/Kestrove.exe" &&
    cp "$WINEPREFIX/drive_c/windows/system32/Magnification.dll" "$work/app/" || exit 1
windows_exe=$(timeout 30 winepath -w "$work/app/Kestrove.exe" 2>/dev/null)
[[ -n $windows_exe ]] || { echo "Wine failed to start: winepath gave no path for $exe"; exit 1; }

coproc DRIVER { without_wine32_note timeout 180 wine "$driver" "$windows_exe" "$width" "$height"; }
driver_pid=$DRIVER_PID
# Bash drops the coprocess's descriptors when it ends: keep copies.
exec {from_driver}<&"${DRIVER[0]}" {to_driver}>&"${DRIVER[1]}"
picture_failed=0
while IFS= read -r line <&"$from_driver"; do
    line=${line%$'\r'}
    printf '%s\n' "$line"
    if [[ $line == "mirror "* ]]; then
        read -r -a area <<<"${line#mirror }"
        check_picture "${area[@]}" || picture_failed=1
        echo "checked" >&"$to_driver"
    fi
done
wait "$driver_pid"
status=$?
exec {from_driver}<&- {to_driver}>&-
if ((status == 124)); then
    echo "the Wine smoke run did not finish within 180 s" >&2
fi
if ((status == 0 && (picture_failed || pictures_checked != 2))); then
    echo "FAIL: the picture checks ($pictures_checked of 2 made)"
    status=1
fi
exit $status
