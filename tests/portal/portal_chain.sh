#!/usr/bin/env bash
# Runs a command inside a private desktop session built from the real pieces
# a GNOME session uses for screen casting: a session bus of its own, PipeWire
# with WirePlumber, mutter headless with two virtual monitors and its
# XWayland, and the xdg-desktop-portal front-end. Only the back-end that would
# ask the user is ours (BACKEND, granting every monitor; with "unplaced"
# granting streams without a position, as KDE's back-end does). A user's
# refusal is GNOME's own dialog's (gnome_chain.sh). With "bare" neither the
# back-end nor the front-end is started: COMMAND puts its own portal on the
# bus, or none.
#
#   portal_chain.sh BACKEND grant|unplaced|bare COMMAND...
#
# COMMAND sees DISPLAY (mutter's XWayland), the session bus,
# KESTROVE_PORTAL_WORK (the session's folder, logs/ in it) and, with a
# back-end, KESTROVE_PORTAL_BACKEND_PID (SIGUSR1 stops every recording, as the
# desktop's "stop sharing" does). Its exit status is the script's.
set -euo pipefail
# shellcheck source=scripts/helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/helpers.sh"
source "$(dirname "${BASH_SOURCE[0]}")/desktop_session.sh"

backend_name=org.freedesktop.impl.portal.desktop.kestrovetest

# Our back-end is chosen by the desktop name and a portal folder of our own.
# Set before the bus starts, so that anything it activates sees them.
prepare_session() {
    session_require "portal chain" dbus-run-session pipewire wireplumber mutter Xwayland \
        /usr/libexec/xdg-desktop-portal
    mkdir -p "$work/portals"
    cat >"$work/portals/kestrove-test.portal" <<PORTAL
[portal]
DBusName=$backend_name
Interfaces=org.freedesktop.impl.portal.ScreenCast;
UseIn=kestrove-test
PORTAL
    export XDG_CURRENT_DESKTOP=kestrove-test XDG_DESKTOP_PORTAL_DIR=$work/portals
}
session_enter "portal chain" "$@"
shift
backend=$1 mode=$2
shift 2

session_start_pipewire
session_start mutter.log mutter --headless --virtual-monitor 1280x720 \
    --virtual-monitor 1024x768 --wayland-display=kestrove-wayland
wait_for "mutter's screen cast" 30 on_bus org.gnome.Mutter.ScreenCast
session_find_xwayland mutter "$logs/mutter.log"

if [[ $mode != bare ]]; then
    backend_args=("$backend_name")
    [[ $mode != grant ]] && backend_args+=("--$mode")
    session_start backend.log "$backend" "${backend_args[@]}"
    export KESTROVE_PORTAL_BACKEND_PID=${pids[-1]}
    wait_for "the test back-end" 10 on_bus "$backend_name"
    session_start xdg-desktop-portal.log /usr/libexec/xdg-desktop-portal --replace
    wait_for "xdg-desktop-portal" 20 on_bus org.freedesktop.portal.Desktop
fi

# As in a GNOME session: Wayland clients reach mutter, X clients its XWayland.
export WAYLAND_DISPLAY=kestrove-wayland DISPLAY=$display
session_run "$@"
