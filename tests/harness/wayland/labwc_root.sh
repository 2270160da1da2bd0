#!/usr/bin/env bash
# labwc_root.sh <session dir> <rc.xml> <user>
# Runs a headless labwc with two outputs as <user>, from a minimal Debian
# trixie root (labwc is not in bookworm) that debootstrap and apt make once
# and keep (scripts/debian-root.sh). The root's /tmp is this machine's, so
# the session directory (under /tmp: XDG_RUNTIME_DIR is <session dir>/run)
# and the X sockets are at the same paths inside and out: programs of this
# machine are the session's clients. Writes labwc's process id to <session dir>/labwc.pid
# (wlr-randr and grim of the root run through nsenter on it) and, once
# XWayland is up, its display to <session dir>/display; runs until labwc
# ends or this script is ended. Exits with 77 when there is no root yet and
# the archive cannot be reached.
set -euo pipefail
session=$1
config=$2
user=$3

suite=trixie
packages="labwc xwayland wlr-randr grim"

# shellcheck source=scripts/helpers.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/helpers.sh"
script_name="labwc root"
for tool in setpriv flock; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps/wayland.txt)"
done
[[ $session == /tmp/* && -d $session ]] || fail "the session directory $session is not in /tmp"
uid=$(id -u "$user") || fail "no user $user"
gid=$(id -g "$user")

# shellcheck source=scripts/debian-root.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/debian-root.sh"
root=$(debian_root "$suite" $packages) || exit

# XWayland lets in the users it knows by name (the local user of its own
# process first): the desktop's user must have the same ids in the root.
add_user() {
    local entry
    entry=$(chroot "$root" getent passwd "$user" | cut -d: -f3,4) || true
    [[ $entry == "$uid:$gid" ]] && return 0
    # The root outlives this machine's user (made afresh, or by another
    # release's run sharing the cache): its ids follow this machine's.
    if [[ -n $entry ]]; then
        chroot "$root" userdel "$user" || fail "$user has the ids $entry in the root, $uid:$gid here"
        chroot "$root" groupdel "$user" 2>/dev/null || true
    fi
    chroot "$root" getent group "$gid" >/dev/null || chroot "$root" groupadd -g "$gid" "$user"
    chroot "$root" useradd -u "$uid" -g "$gid" -M -d /nonexistent -s /usr/sbin/nologin "$user" \
        2>/dev/null
}

exec 9>"$root.lock"
flock 9
add_user
flock -u 9

mkdir -p "$session/labwc"
cp "$config" "$session/labwc/rc.xml"
# labwc runs autostart with DISPLAY set, once XWayland is up.
# shellcheck disable=SC2016 # expanded by autostart's shell
printf 'echo "$DISPLAY" >%s/display.tmp && mv %s/display.tmp %s/display\n' \
    "$session" "$session" "$session" >"$session/labwc/autostart"
mkdir -p "$session/run"
chmod 0700 "$session/run"
chown -R "$uid:$gid" "$session/labwc" "$session/run"

# shellcheck source=scripts/children.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/children.sh"
trap stop_children EXIT
trap 'exit 143' TERM INT
# Each of these programs takes the place of the one before: the process
# started in the background is labwc's.
in_debian_root "$root" setpriv --reuid="$uid" --regid="$gid" --clear-groups \
    env -i PATH=/usr/bin:/bin HOME="$session" XDG_RUNTIME_DIR="$session/run" LANG=C.UTF-8 \
    WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    labwc --config-dir "$session/labwc" &
pids+=($!)
echo "$!" >"$session/labwc.pid"
wait "$!"
