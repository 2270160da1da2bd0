#!/usr/bin/env bash
# windows_installer.sh <setup.exe> <Kestrove.exe> <version> <prefix dir>
# Under Wine, in a fresh prefix on a private Xvfb: the installer run silently
# puts Kestrove.exe in Program Files with a Start menu entry, an uninstaller
# and its "Apps & features" entry; the installed program starts; the
# uninstaller, run silently, leaves no file and no registry key behind.
# Wine's menu builder stays off: it would copy the Start menu entry into this
# machine's own desktop menus.
set -uo pipefail
# shellcheck source=tests/windows/wine_common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../windows/wine_common.sh"
setup=$1
exe=$2
version=$3
export WINEPREFIX=$4 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# shellcheck source=scripts/helpers.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/helpers.sh"
script_name=installer
[[ -f $setup ]] || fail "no installer at $setup (is makensis installed? scripts/deps/packaging.txt)"
command -v wine >/dev/null || fail "wine is missing (scripts/deps/windows.txt)"

work=$(mktemp -d)
xvfb=
cleanup() {
    timeout 30 wineserver -k 2>/dev/null
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Wine's note about its missing 32-bit half is no finding: all is 64-bit.
quiet_wine() {
    timeout "$1" wine "${@:2}" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' \
        -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2)
}

timeout 30 wineserver -k 2>/dev/null
rm -rf "$WINEPREFIX"
DISPLAY='' timeout 240 wineboot -i >"$work/boot.log" 2>&1 || {
    cat "$work/boot.log"
    fail "wineboot -i failed or took over 240 s"
}
timeout 60 wineserver -w

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
within 20 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")

drive=$WINEPREFIX/drive_c
# Everything in the prefix a program can leave behind: files and registry.
snapshot() {
    (cd "$drive" && find . -path ./windows -prune -o -print | grep -v -i -e '/temp\(/\|$\)' | sort)
    grep -h -i -e kestrove "$WINEPREFIX"/*.reg | sed 's/^/registry: /'
}
snapshot >"$work/before"

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrove'
reg_value() {
    quiet_wine 60 reg query "$uninstall_key" /v "$1" /reg:64 2>/dev/null | tr -d '\r' |
        awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

quiet_wine 120 "$setup" /S || fail "the silent install failed (status $?)"
timeout 60 wineserver -w

installed=$drive/Program\ Files/Kestrove
for file in Kestrove.exe README.txt Uninstall.exe; do
    [[ -f $installed/$file ]] || fail "no $file in C:\\Program Files\\Kestrove"
done
cmp -s "$exe" "$installed/Kestrove.exe" || fail "the installed Kestrove.exe differs from the build's"
shortcut=$drive/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Kestrove.lnk
[[ -f $shortcut ]] || fail "no Start menu entry: $(cd "$drive/ProgramData" && find . -iname '*.lnk')"
[[ $(reg_value DisplayVersion) == "$version" ]] || fail "DisplayVersion '$(reg_value DisplayVersion)', not $version"
[[ $(reg_value DisplayName) == Kestrove ]] || fail "DisplayName '$(reg_value DisplayName)'"
[[ $(reg_value UninstallString) == '"C:\Program Files\Kestrove\Uninstall.exe"' ]] ||
    fail "UninstallString '$(reg_value UninstallString)'"
# What the uninstaller must take away shows in the snapshot: its check below
# can see leftovers.
snapshot >"$work/installed"
grep -q '^registry: ' "$work/installed" || fail "the registry snapshot does not see the install"
grep -q '/Kestrove/Kestrove.exe$' "$work/installed" || fail "the file snapshot does not see the install"
echo "installed: C:\\Program Files\\Kestrove, Start menu entry, Apps & features entry $version"

# The installed program, started from its installed path.
quiet_wine 120 'C:\Program Files\Kestrove\Kestrove.exe' >"$work/kestrove.out" &
kestrove=$!
window=
for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name '^Kestrove - ' 2>/dev/null | head -n1) || true
    [[ -n $window ]] && break
    kill -0 "$kestrove" 2>/dev/null || break
    sleep 0.1
done
[[ -n $window ]] || fail "the installed Kestrove.exe showed no window"
title=$(xdotool getwindowname "$window")
[[ $title == "Kestrove - [1:1] $(wine_adapter_name)" ]] || fail "window title '$title'"
echo "started: '$title'"
[[ $(tr -d '\r' <"$work/kestrove.out" | grep -c '^rcMonitor top=0, left=0, bottom=1024, right=1280$') == 2 ]] ||
    fail "diagnostic lines: $(cat "$work/kestrove.out")"
xdotool windowfocus --sync "$window" key alt+F4
within 20 gone "$kestrove" || fail "Alt+F4 did not close the installed Kestrove.exe"
timeout 60 wineserver -w

# The uninstaller copies itself away and runs from there; wineserver -w waits
# for that copy too.
quiet_wine 120 'C:\Program Files\Kestrove\Uninstall.exe' /S || fail "the silent uninstall failed"
timeout 120 wineserver -w
snapshot >"$work/after"
if ! diff "$work/before" "$work/after" >"$work/left"; then
    fail "left behind after uninstalling:
$(cat "$work/left")"
fi
echo "uninstalled: nothing left behind"
