#!/usr/bin/env bash
# Runs a command inside a private desktop session built from the real pieces
# a GNOME session uses for screen casting: a session bus of its own, PipeWire
# with WirePlumber, mutter headless with two virtual monitors and its
# XWayland, and the xdg-desktop-portal front-end. Only the back-end that would
# ask the user is ours (BACKEND, granting every monitor; with "unplaced"
# granting streams without a position, as KDE's back-end does). A user's
# refusal is GNOME's own dialog's (gnome_chain.sh). With "bare" neither the back-end nor the
# front-end is started: COMMAND puts its own portal on the bus, or none.
#
#   portal_chain.sh BACKEND grant|unplaced|bare COMMAND...
#
# COMMAND sees DISPLAY (mutter's XWayland), the session bus,
# KESTROVE_PORTAL_WORK (the session's folder, logs/ in it) and, with a
# back-end, KESTROVE_PORTAL_BACKEND_PID (SIGUSR1 stops every recording, as the
# desktop's "stop sharing" does). Its exit status is the script's.
set -euo pipefail

backend_name=org.freedesktop.impl.portal.desktop.kestrovetest

if [[ ${1-} != --inside ]]; then
    for tool in dbus-run-session pipewire wireplumber mutter Xwayland; do
        command -v "$tool" >/dev/null || { echo "portal chain: $tool is not installed" >&2; exit 1; }
    done
    [[ -x /usr/libexec/xdg-desktop-portal ]] ||
        { echo "portal chain: xdg-desktop-portal is not installed" >&2; exit 1; }
    work=$(mktemp -d /tmp/kestrove-portal.XXXXXX)
    # The portal front-end starts the document portal, which mounts a FUSE
    # file system in the runtime folder.
    cleanup() {
        local doc=$work/runtime/doc
        if mountpoint -q "$doc" 2>/dev/null; then
            fusermount3 -u "$doc" 2>/dev/null || umount -l "$doc" 2>/dev/null || true
        fi
        rm -rf "$work" 2>/dev/null || echo "portal chain: could not remove $work" >&2
    }
    trap cleanup EXIT
    mkdir -p "$work/logs" "$work/runtime" "$work/portals"
    chmod 700 "$work/runtime"
    # Our back-end is chosen by the desktop name and a portal folder of our
    # own. Set before the bus starts, so that anything it activates sees them.
    cat >"$work/portals/kestrove-test.portal" <<PORTAL
[portal]
DBusName=$backend_name
Interfaces=org.freedesktop.impl.portal.ScreenCast;
UseIn=kestrove-test
PORTAL
    export XDG_CURRENT_DESKTOP=kestrove-test XDG_DESKTOP_PORTAL_DIR=$work/portals
    export XDG_RUNTIME_DIR=$work/runtime HOME=$work KESTROVE_PORTAL_WORK=$work
    unset DISPLAY WAYLAND_DISPLAY
    status=0
    dbus-run-session -- "$0" --inside "$@" || status=$?
    exit "$status"
fi
shift
backend=$1 mode=$2
shift 2
work=$KESTROVE_PORTAL_WORK
logs=$work/logs

pids=()
stop_all() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
}
show_logs() {
    local log
    for log in "$logs"/*; do
        echo "---- $(basename "$log") (last lines)" >&2
        tail -n 15 "$log" >&2
    done
}
trap stop_all EXIT

wait_for() { # DESCRIPTION SECONDS COMMAND...
    local what=$1 seconds=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            echo "portal chain: $what did not come up within ${seconds}s" >&2
            show_logs
            exit 1
        fi
        sleep 0.2
    done
}
on_bus() { busctl --user status "$1"; }

pipewire >"$logs/pipewire.log" 2>&1 &
pids+=($!)
wait_for "pipewire" 10 test -S "$XDG_RUNTIME_DIR/pipewire-0"
wireplumber >"$logs/wireplumber.log" 2>&1 &
pids+=($!)
mutter --headless --virtual-monitor 1280x720 --virtual-monitor 1024x768 \
    --wayland-display=kestrove-wayland >"$logs/mutter.log" 2>&1 &
pids+=($!)
wait_for "mutter's screen cast" 30 on_bus org.gnome.Mutter.ScreenCast
wait_for "mutter's XWayland" 30 grep -q "Using public X11 display" "$logs/mutter.log"
display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$logs/mutter.log" | head -n 1)
wait_for "XWayland on $display" 30 test -S "/tmp/.X11-unix/X${display#:}"
# Mutter lets only holders of its cookie onto its XWayland.
XAUTHORITY=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name '.mutter-Xwaylandauth.*' | head -n 1)
export XAUTHORITY

if [[ $mode != bare ]]; then
    backend_args=("$backend_name")
    [[ $mode != grant ]] && backend_args+=("--$mode")
    "$backend" "${backend_args[@]}" >"$logs/backend.log" 2>&1 &
    backend_pid=$!
    pids+=($backend_pid)
    export KESTROVE_PORTAL_BACKEND_PID=$backend_pid
    wait_for "the test back-end" 10 on_bus "$backend_name"
    /usr/libexec/xdg-desktop-portal --replace >"$logs/xdg-desktop-portal.log" 2>&1 &
    pids+=($!)
    wait_for "xdg-desktop-portal" 20 on_bus org.freedesktop.portal.Desktop
fi

status=0
# As in a GNOME session: Wayland clients reach mutter, X clients its XWayland.
WAYLAND_DISPLAY=kestrove-wayland DISPLAY=$display "$@" || status=$?
if ((status != 0)); then
    show_logs
fi
exit "$status"
