#!/usr/bin/env bash
# clean_root.sh <package.deb> <monitor fixture> <product version> [suite]
# Installs the package with apt on a copy of a minimal Debian root of
# <suite> (default: this machine's release; scripts/debian-root.sh makes it
# once and keeps it), then starts the installed kestrove in that root on an
# Xvfb display with two virtual monitors and checks its window title, its
# diagnostic lines, its About box and its exit status. Exits with 77 when
# there is no such root yet and the archive cannot be reached.
set -euo pipefail
deb=$(realpath "$1")
fixture=$2
# The About box writes the version's dots as dashes.
version_label="Kestrove Ver.:${3//./-}"
# shellcheck source=/dev/null
suite=${4:-$(. /etc/os-release && echo "${VERSION_CODENAME:-}")}

# shellcheck source=scripts/helpers.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/helpers.sh"
script_name="clean root"
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps/test.txt)"
done
[[ -f $deb ]] || fail "no package at $deb"
[[ -n $suite ]] || fail "no VERSION_CODENAME in /etc/os-release"

# shellcheck source=scripts/debian-root.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/debian-root.sh"
pristine=$(debian_root "$suite") || exit
echo "clean $suite root: $pristine"

# The copy and the package are in this machine's /tmp, which is the root's.
work=$(mktemp -d /tmp/kestrove-clean-root.XXXXXX)
root=$work/root
# shellcheck source=scripts/children.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/children.sh"
cleanup() {
    stop_children
    # The mounts lived in a private mount namespace and ended with it.
    rm -rf "$work"
}
trap cleanup EXIT

cp -a "$pristine" "$root"
[[ ! -e $root/usr/bin/kestrove ]] || fail "the fresh root already has /usr/bin/kestrove"
cp "$deb" "$work/"
# The X servers' socket folder, made as they make it, before Xvfb runs here.
[[ -d /tmp/.X11-unix ]] || mkdir -m 1777 /tmp/.X11-unix

in_root() { (in_debian_root "$root" "$@"); }

echo "apt-get install ./$(basename "$deb")"
(in_debian_root_apt "$root" env DEBIAN_FRONTEND=noninteractive sh -c \
    "cd $work && apt-get update -q && apt-get install -y -q ./$(basename "$deb")") >"$work/apt.log" 2>&1 || {
    tail -n 40 "$work/apt.log"
    fail "apt-get install of the package failed"
}
echo "packages set up: $(grep -c '^Setting up' "$work/apt.log")"
in_root dpkg-query -W -f='${Status}' fonts-noto-cjk 2>/dev/null | grep -q 'install ok installed' ||
    fail "apt did not install the recommended fonts-noto-cjk"
owner=$(in_root dpkg -S /usr/bin/kestrove) || fail "no package owns /usr/bin/kestrove"
[[ $owner == "kestrove: /usr/bin/kestrove" ]] || fail "/usr/bin/kestrove belongs to: $owner"

# The display: Xvfb on this machine, its socket folder shared with the root.
Xvfb -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
within 20 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
"$fixture" 1280x720+1280+0* 600x800+1280+720 >"$work/fixture.out" 2>"$work/fixture.err" &
pids+=($!)
within 10 grep -qx ready "$work/fixture.out" || fail "monitor fixture: $(cat "$work/fixture.err")"

in_root env -i DISPLAY="$DISPLAY" LANG=C.UTF-8 /usr/bin/kestrove \
    >"$work/kestrove.out" 2>"$work/kestrove.err" &
kestrove=$!
pids+=("$kestrove")
window=
for _ in $(seq 200); do
    window=$(xdotool search --onlyvisible --name '^Kestrove - ' 2>/dev/null | head -n1) || true
    [[ -n $window ]] && break
    kill -0 "$kestrove" 2>/dev/null || break
    sleep 0.1
done
[[ -n $window ]] || fail "no Kestrove window; it said: $(cat "$work/kestrove.err")"
title=$(xdotool getwindowname "$window")
[[ $title == "Kestrove - [1:2] " ]] || fail "window title '$title', not 'Kestrove - [1:2] '"
echo "window: '$title'"

expected="rcMonitor top=0, left=1280, bottom=720, right=2560
rcWork top=0, left=1280, bottom=720, right=2560
Flag = 1
rcMonitor top=0, left=1280, bottom=720, right=2560
rcMonitor top=720, left=1280, bottom=1520, right=1880
rcWork top=720, left=1280, bottom=1520, right=1880
Flag = 0
rcMonitor top=720, left=1280, bottom=1520, right=1880"
[[ $(cat "$work/kestrove.out") == "$expected" ]] ||
    fail "diagnostic lines differ; got:
$(cat "$work/kestrove.out")
expected:
$expected"
echo "diagnostic lines: $(wc -l <"$work/kestrove.out")"

# The About box shows the version that the stripped, installed program
# reads from its own file.
visible_window() {
    local found
    for _ in $(seq 100); do
        found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) || true
        [[ -n $found ]] && echo "$found" && return 0
        sleep 0.1
    done
    return 1
}
xdotool mousemove --window "$window" 40 40 click 3
entry=$(visible_window '^Kestroveについて\(A\)\.\.\.$') || fail "no About entry in the window's menu"
xdotool mousemove --window "$entry" 5 5 click 1
about=$(visible_window '^Kestrove について$') || fail "no About box"
visible_window "^${version_label//./\\.}\$" >/dev/null ||
    fail "the About box does not show '$version_label'"
echo "About box: '$version_label'"
xdotool windowfocus --sync "$about" key Escape

xdotool windowfocus --sync "$window" key alt+F4
within 10 gone "$kestrove" || fail "Alt+F4 did not close Kestrove"
wait "$kestrove" || fail "kestrove exited with status $?; it said: $(cat "$work/kestrove.err")"
[[ ! -s $work/kestrove.err ]] || fail "kestrove wrote to standard error: $(cat "$work/kestrove.err")"
echo "the installed kestrove ran in the clean root and closed"
