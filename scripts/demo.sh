#!/usr/bin/env bash
# Demonstration without a real display: a virtual X server (Xvfb) with two
# monitors of different content, Kestrove mirroring monitor 1, then Ctrl+2
# typed to switch to monitor 2. Writes a PNG of the mirror window before and
# after the switch and prints their paths.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${KESTROVE_DEMO_DIR:-$build/demo}

"$root/scripts/install-deps.sh" build run demo
configure=()
[[ -f $build/CMakeCache.txt ]] || configure=(-DKESTROVE_BUILD_TESTS=OFF)
BUILD_DIR=$build "$root/scripts/build.sh" --target Kestrove --target kestrove_monitor_fixture \
    "${configure[@]}" >/dev/null

work=$(mktemp -d)
# shellcheck source=scripts/children.sh
. "$root/scripts/children.sh"
cleanup() {
    stop_children
    rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=scripts/helpers.sh
. "$root/scripts/helpers.sh"
script_name=demo

Xvfb -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
within 20 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

# Monitor 1: 1280x720 (primary); monitor 2: 600x800, portrait.
"$build/tests/harness/kestrove_monitor_fixture" 1280x720+1280+0* 600x800+1280+720 \
    >"$work/fixture.out" 2>"$work/fixture.err" &
pids+=($!)
within 10 grep -qx ready "$work/fixture.out" || fail "monitor fixture: $(cat "$work/fixture.err")"

"$build/Kestrove" >"$work/kestrove.out" 2>"$work/kestrove.err" &
pids+=($!)
mirror_window() {
    local candidate
    for candidate in $(xdotool search --onlyvisible --class '^Kestrove$' 2>/dev/null); do
        if [[ "$(xdotool getwindowname "$candidate" 2>/dev/null)" == "Kestrove - "* ]]; then
            echo "$candidate"
            return 0
        fi
    done
}
title_is() { [[ "$(xdotool getwindowname "$window" 2>/dev/null)" == "$1" ]]; }
has_mirror() { [[ -n "$(mirror_window)" ]]; }
within 10 has_mirror || fail "no Kestrove window; it said: $(cat "$work/kestrove.err")"
window=$(mirror_window)
within 10 title_is "Kestrove - [1:2] " || fail "unexpected title: $(xdotool getwindowname "$window")"

mkdir -p "$out"
shoot() {
    sleep 0.5 # a few refreshes of the mirror
    import -window "$window" "$1"
}
shoot "$out/before.png"
xdotool windowfocus --sync "$window" key ctrl+2
within 10 title_is "Kestrove - [2:2] " || fail "Ctrl+2 did not switch: $(xdotool getwindowname "$window")"
shoot "$out/after.png"

echo "Kestrove printed:"
sed 's/^/  /' "$work/kestrove.out"
echo "Monitor 1 (title 'Kestrove - [1:2] '): $out/before.png"
echo "Monitor 2 (title 'Kestrove - [2:2] '): $out/after.png"
