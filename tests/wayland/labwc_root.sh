#!/usr/bin/env bash
# labwc_root.sh <cache dir> <session dir> <rc.xml> <user>
# Runs a headless labwc with two outputs as <user>, from a minimal Debian
# trixie root (labwc is not in bookworm) that debootstrap and apt make once
# and keep in <cache dir>. The root's /tmp is this machine's, so the session
# directory (under /tmp: XDG_RUNTIME_DIR is <session dir>/run) and the X
# sockets are at the same paths inside and out: programs of this machine are
# the session's clients. Writes labwc's process id to <session dir>/labwc.pid
# (wlr-randr and grim of the root run through nsenter on it) and, once
# XWayland is up, its display to <session dir>/display; runs until labwc
# ends or this script is ended. Exits with 77 when there is no root yet and
# the archive cannot be reached.
set -euo pipefail
cache=$1
session=$2
config=$3
user=$4

suite=trixie
packages="labwc xwayland wlr-randr grim"

fail() {
    echo "labwc root: $*" >&2
    exit 1
}
for tool in debootstrap unshare chroot setpriv wget flock; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps/wayland.txt)"
done
[[ $session == /tmp/* && -d $session ]] || fail "the session directory $session is not in /tmp"
uid=$(id -u "$user") || fail "no user $user"
gid=$(id -g "$user")

# shellcheck source=scripts/debian-archive.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/debian-archive.sh"
# shellcheck source=/dev/null
host_suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
# The archive that serves this machine's release serves the next one too.
mirror=$(debian_archive "$host_suite" | head -n1)
[[ -n $mirror ]] || fail "apt lists no archive for $host_suite in /etc/apt/sources.list{,.d}"

mkdir -p "$cache/archives/partial"
cache=$(realpath "$cache")
root=$cache/$suite-$(echo "$mirror $packages" | md5sum | cut -c1-8)

# Runs a command in directory $1 as the root, with /proc, /dev, this
# machine's /tmp and name lookup, and the package cache, in a mount
# namespace of its own. It takes the place of the shell that calls it: call it
# in a subshell.
in_root() {
    # shellcheck disable=SC2016 # expanded by the inner shell
    exec unshare --mount --propagation private -- sh -c '
        root=$1 cache=$2
        shift 2
        mount -t proc proc "$root/proc" &&
        mount --rbind /dev "$root/dev" &&
        mount --bind /tmp "$root/tmp" &&
        mount --bind /etc/hosts "$root/etc/hosts" &&
        mount --bind /etc/resolv.conf "$root/etc/resolv.conf" &&
        mount --bind "$cache" "$root/var/cache/apt/archives" &&
        exec chroot "$root" "$@"' sh "$@"
}

# Made once, by whichever run comes first; the others wait for it.
make_root() {
    local part=$root.part log=$cache/$suite.log
    [[ -f $root/.complete ]] && return 0
    wget -q -T 20 -t 2 --spider "$mirror/dists/$suite/InRelease" || {
        echo "labwc root: cannot reach $mirror for $suite" >&2
        exit 77
    }
    rm -rf "$part"
    echo "debootstrap --variant=minbase $suite and apt-get install $packages (first run; kept afterwards)" >&2
    debootstrap --variant=minbase --cache-dir="$cache/archives" "$suite" "$part" "$mirror" \
        >"$log" 2>&1 || {
        tail -n 40 "$log" >&2
        fail "debootstrap failed"
    }
    touch "$part/etc/hosts" "$part/etc/resolv.conf"
    (in_root "$part" "$cache/archives" env DEBIAN_FRONTEND=noninteractive sh -c \
        "apt-get update -q && apt-get install -y -q --no-install-recommends $packages" \
        >>"$log" 2>&1) || {
        tail -n 40 "$log" >&2
        fail "apt-get install $packages failed"
    }
    touch "$part/.complete"
    mv "$part" "$root"
}

# XWayland lets in the users it knows by name (the local user of its own
# process first): the desktop's user must have the same ids in the root.
add_user() {
    local entry
    entry=$(chroot "$root" getent passwd "$user" | cut -d: -f3,4) || true
    [[ $entry == "$uid:$gid" ]] && return 0
    [[ -z $entry ]] || fail "$user has the ids $entry in the root, $uid:$gid here"
    chroot "$root" getent group "$gid" >/dev/null || chroot "$root" groupadd -g "$gid" "$user"
    chroot "$root" useradd -u "$uid" -g "$gid" -M -d /nonexistent -s /usr/sbin/nologin "$user" \
        2>/dev/null
}

exec 9>"$cache/.lock"
flock 9
make_root
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
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/children.sh"
trap stop_children EXIT
trap 'exit 143' TERM INT
# Each of these programs takes the place of the one before: the process
# started in the background is labwc's.
in_root "$root" "$cache/archives" setpriv --reuid="$uid" --regid="$gid" --clear-groups \
    env -i PATH=/usr/bin:/bin HOME="$session" XDG_RUNTIME_DIR="$session/run" LANG=C.UTF-8 \
    WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    labwc --config-dir "$session/labwc" &
pids+=($!)
echo "$!" >"$session/labwc.pid"
wait "$!"
