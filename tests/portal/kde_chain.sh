#!/usr/bin/env bash
# Runs a command beside a private KDE Plasma 6 session as a user meets it:
# KWin 6 (its virtual back-end, two 1280x720 outputs side by side) with its
# XWayland, PipeWire, and the real screen-cast portal with KDE's own dialog
# (xdg-desktop-portal-kde), all from a Debian 13 root that debootstrap and
# apt make once and keep (scripts/debian-root.sh; about 1.7 GB, 350 MB of
# packages fetched, five minutes or so). The session runs in the root
# (kde_session.sh); the command runs here, as the session's client.
#
#   KESTROVE_RENDER_NODE_STANDIN=render_node_standin.so \
#   KESTROVE_FAKE_INPUT_CLICK=kestrove_fake_input_click kde_chain.sh COMMAND...
#
# COMMAND sees DISPLAY (KWin's XWayland), XAUTHORITY, the session bus,
# KESTROVE_PORTAL_WORK (the session's folder, logs/ in it) and
# KESTROVE_KDE_DESKTOP (kde_desktop.sh: clicks, the dialog's controls,
# output scales, a fresh portal back-end). Its exit status is the script's;
# 77 (skipped) when the root must be made and the archive cannot be reached.
# shellcheck disable=SC2317 # functions called by trap and by within
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/helpers.sh
source "$here/../../scripts/helpers.sh"
# shellcheck source=tests/portal/desktop_session.sh
source "$here/desktop_session.sh"
session_name="kde chain"

session_require "$session_name" unshare chroot nsenter flock wget debootstrap python3
standin=${KESTROVE_RENDER_NODE_STANDIN:-}
clicker=${KESTROVE_FAKE_INPUT_CLICK:-}
[[ -f $standin ]] || {
    echo "$session_name: no render-node stand-in built (KESTROVE_RENDER_NODE_STANDIN=$standin)" >&2
    exit 1
}
[[ -x $clicker ]] || {
    echo "$session_name: no fake-input clicker (KESTROVE_FAKE_INPUT_CLICK=$clicker)" >&2
    exit 1
}

# KWin and its screen-cast plugin, the portal and KDE's back-end with the
# dialog's QML (plasma-workspace), kscreen-doctor, PipeWire, Mesa's software
# driver for the stand-in render node, AT-SPI's bus, setcap.
packages="kwin-wayland kwin-common xwayland xdg-desktop-portal xdg-desktop-portal-kde pipewire
wireplumber plasma-workspace libkscreen-bin libgl1-mesa-dri libegl-mesa0 libgbm1 libcap2-bin dbus
at-spi2-core"
# shellcheck source=scripts/debian-root.sh
source "$here/../../scripts/debian-root.sh"
# shellcheck disable=SC2086 # the list is split on purpose
root=$(debian_root trixie $packages) || exit
# Debian's kwin_wayland carries a file capability, for which the loader
# ignores a preload given by path.
(
    exec 9>"$root.lock"
    flock 9
    if [[ -n $(chroot "$root" getcap /usr/bin/kwin_wayland) ]]; then
        chroot "$root" setcap -r /usr/bin/kwin_wayland
    fi
)

work=$(mktemp -d /tmp/kestrove-kde.XXXXXX)
dialog_at=160,90
logs=$work/logs
session_pid=
session_ns=
cleanup() {
    stop_session
    rm -rf "$work" 2>/dev/null || echo "$session_name: could not remove $work" >&2
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# The session's script ends what it started; what the bus started and what
# outlived it is ended by the session's mount namespace, which is its own.
stop_session() {
    [[ -n $session_pid && -n $session_ns ]] || return 0
    kill "$session_pid" 2>/dev/null || true
    within 10 gone "$session_pid" || kill -KILL "$session_pid" 2>/dev/null || true
    wait "$session_pid" 2>/dev/null || true
    local process
    for process in /proc/[0-9]*; do
        if [[ $(readlink "$process/ns/mnt" 2>/dev/null) == "$session_ns" ]]; then
            kill -KILL "${process#/proc/}" 2>/dev/null || true
        fi
    done
    session_pid=
}

mkdir -p "$logs" "$work/config" "$work/data/applications" "$work/cache" "$work/bin"
fresh_runtime_dir "$work/runtime"
cp "$here/../../scripts/helpers.sh" "$here/desktop_session.sh" "$here/kde_session.sh" "$work/"
cp "$standin" "$work/render_node_standin.so"
cp "$clicker" "$work/bin/"
cat >"$work/xwayland_up.sh" <<EOF
#!/bin/sh
printf 'DISPLAY=%s\nXAUTHORITY=%s\n' "\$DISPLAY" "\$XAUTHORITY" >$work/xwayland.env.tmp
mv $work/xwayland.env.tmp $work/xwayland.env
EOF
chmod +x "$work/xwayland_up.sh"
# KWin offers fake input only to a program whose desktop file asks for it.
cat >"$work/data/applications/kestrove-fake-input-click.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Kestrove test clicks
Exec=$work/bin/${clicker##*/}
NoDisplay=true
X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input
EOF
# The dialog opens at a known place and without a frame: a Wayland client
# knows places only from its own window's corner, which AT-SPI gives.
cat >"$work/config/kwinrulesrc" <<EOF
[General]
count=1
rules=kestrove-dialog

[kestrove-dialog]
Description=The screen-share dialog at a known place
wmclass=portal
wmclassmatch=2
position=$dialog_at
positionrule=2
noborder=true
noborderrule=2
EOF

(in_debian_root "$root" bash "$work/kde_session.sh" "$work") >"$logs/session.log" 2>&1 &
session_pid=$!
echo "$session_pid" >"$work/session.pid"
own_ns=$(readlink /proc/self/ns/mnt)
in_own_ns() { session_ns=$(readlink "/proc/$session_pid/ns/mnt") && [[ $session_ns != "$own_ns" ]]; }
wait_for "the session's mount namespace" 10 in_own_ns
session_up() { [[ -s $work/session.env ]] || gone "$session_pid"; }
if ! within 120 session_up || [[ ! -s $work/session.env ]]; then
    echo "$session_name: the KDE session did not come up" >&2
    session_show_logs
    exit 1
fi
set -a
# shellcheck source=/dev/null
source "$work/session.env"
set +a
# Debian 12's ATK bridge in Kestrove warns on every start against Debian
# 13's AT-SPI registry (which reads the dialog): a mismatch of this setup,
# not a user's.
export NO_AT_BRIDGE=1
export KESTROVE_PORTAL_WORK=$work KESTROVE_KDE_DESKTOP=$here/kde_desktop.sh \
    KESTROVE_KDE_DIALOG_AT=$dialog_at
session_run "$@"
