#!/usr/bin/env bash
# wine_smoke.sh <prefix> <driver.exe> <Kestrove.exe> <kestrove_wine_screen>
#               <kestrove_monitor_fixture> <one|two> <standin|none>
# Runs Kestrove.exe under Wine on a private Xvfb server, driven and checked
# by the Win32 test driver. The picture is checked from the X side.
#
# one: the X screen is Wine's one monitor; a pattern that an X client puts on
# the screen must show in the mirror, scaled to fit its client area, and a
# change of the pattern must follow.
# two: two RandR monitors side by side, which Wine reports (with UseXRandR
# off, through Xinerama) with the primary at 0,0 and the other left of it, at
# a negative x; each shows its own pattern, and the mirror must show the one
# that Ctrl+1 or Ctrl+2 chose.
# standin: the prefix's stand-in Magnification.dll paints the mirror and
# records the calls (checked by the driver). none: Wine's own Magnification
# API is taken instead (missing in Wine 8, stubs in Wine 10): the mirror must
# stay blank and the program work.
#
# With KESTROVE_WINE_ROOT set, the Wine of that Debian root runs the programs
# (wine_common.sh); the X server and the X clients run on this machine.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_common.sh"
# shellcheck source=scripts/helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/helpers.sh"
wine_use_prefix "$1"
driver=$2
exe=$3
screen_tool=$4
fixture_tool=$5
layout=$6
magnification=$7

[[ -f $exe ]] || { echo "missing $exe"; exit 1; }
[[ -x $screen_tool ]] || { echo "missing $screen_tool"; exit 1; }
case $layout in
one)
    width=1280 height=1024
    # Windows' virtual screen as left,top,right,bottom, primary first, and the
    # same monitors on the X screen as x y width height.
    monitors=("0,0,1280,1024")
    ;;
two)
    [[ -x $fixture_tool ]] || { echo "missing $fixture_tool"; exit 1; }
    wine_major=$(wine_command wine --version 2>/dev/null | sed -n 's/^wine-\([0-9]*\).*/\1/p')
    if ((${wine_major:-0} >= 10)); then
        echo "skipped: Wine $wine_major reports the second Xinerama monitor with the first one's" \
            "rectangle (its work area alone lies at the negative x), for every program"
        exit 77
    fi
    width=2240 height=1080
    monitors=("0,0,1280,1024" "-960,0,0,1080")
    x_monitors=("960 0 1280 1024" "0 0 960 1080")
    ;;
*) echo "layout '$layout': one or two"; exit 2 ;;
esac
case $magnification in
standin) ;;
none) export WINEDLLOVERRIDES="magnification=b" ;;
*) echo "'$magnification': standin or none"; exit 2 ;;
esac

work=$(mktemp -d)
patterns=()
Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    if [[ $layout == two ]]; then
        wine_command timeout 60 wine reg delete 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /f \
            >/dev/null 2>&1
    fi
    wine_command timeout 30 wineserver -k 2>/dev/null
    for pid in "${patterns[@]}"; do
        kill "$pid" 2>/dev/null
    done
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
within 10 test -s "$work/display" || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

# show_pattern <n>: pattern n on the screen, below every window and below
# the patterns already shown.
show_pattern() {
    "$screen_tool" show "$1" >"$work/pattern$1" &
    patterns+=($!)
    within 10 grep -qx ready "$work/pattern$1" && return 0
    echo "FAIL: pattern $1 could not be put on the screen"
    return 1
}

# check_picture <monitor> <x> <y> <width> <height>: the monitor (from 0) the
# mirror shows and its client area on the screen (Windows' virtual screen),
# as the driver reports them while Kestrove runs. One monitor: once when the
# window opens, where the pattern is also changed, and once after a resize.
# Two: at start, after Ctrl+2, Ctrl+1 and a resize.
pictures_checked=0
check_picture() {
    ((++pictures_checked))
    if [[ $layout == two ]]; then
        # The primary's X position is Windows' 0.
        local origin=${x_monitors[0]%% *}
        # shellcheck disable=SC2086 # the monitor's x y width height, split on purpose
        "$screen_tool" expect "$1" $(($2 + origin)) "$3" "$4" "$5" 10 ${x_monitors[$1]}
        return
    fi
    if ((pictures_checked == 1)); then
        "$screen_tool" expect 0 "${@:2}" 10 || return 1
        # The change: pattern 1 goes in below pattern 0, which then leaves.
        show_pattern 1 || return 1
        kill "${patterns[0]}"
    fi
    "$screen_tool" expect 1 "${@:2}" 10
}

if [[ $layout == two ]]; then
    # Monitor n shows pattern n - 1; the first listed is the primary.
    "$fixture_tool" "1280x1024+960+0*" "960x1080+0+0" >"$work/fixture" &
    patterns+=($!)
    within 10 grep -qx ready "$work/fixture" || { echo "FAIL: the monitors could not be made"; exit 1; }
    wine_command timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f \
        >/dev/null 2>&1 || { echo "Wine failed to set UseXRandR"; exit 1; }
    wine_command timeout 60 wineserver -w
else
    show_pattern 0 || exit 1
fi

# Kestrove runs from a folder that also holds a Magnification.dll and a
# VERSION.dll (decoys: a copy of the stand-in under both names): the driver
# checks that the program loads the system folder's instead. The driver too
# runs from the work folder, which a Debian root's Wine can reach.
mkdir "$work/app"
cp "$exe" "$work/app/Kestrove.exe" && cp "$driver" "$work/driver.exe" &&
    cp "$WINEPREFIX/drive_c/windows/system32/Magnification.dll" "$work/app/" &&
    cp "$WINEPREFIX/drive_c/windows/system32/Magnification.dll" "$work/app/VERSION.dll" || exit 1
windows_exe=$(wine_command timeout 30 winepath -w "$work/app/Kestrove.exe" 2>/dev/null | tr -d '\r')
[[ -n $windows_exe ]] || { echo "Wine failed to start: winepath gave no path for $exe"; exit 1; }
export KESTROVE_MAGNIFICATION_LOG
KESTROVE_MAGNIFICATION_LOG=$(wine_command timeout 30 winepath -w "$work/magnification.log" 2>/dev/null | tr -d '\r')
adapter=$(wine_adapter_name)

coproc DRIVER {
    without_wine32_note wine_command timeout 180 wine "$work/driver.exe" "$windows_exe" \
        "$adapter" "$magnification" "${monitors[@]}"
}
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
pictures=0
if [[ $magnification == standin ]]; then
    pictures=$([[ $layout == one ]] && echo 2 || echo 4)
fi
if ((status == 0 && (picture_failed || pictures_checked != pictures))); then
    echo "FAIL: the picture checks ($pictures_checked of $pictures made)"
    status=1
fi
exit $status
