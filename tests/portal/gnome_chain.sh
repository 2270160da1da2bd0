#!/usr/bin/env bash
# Runs a command inside a private GNOME session as a user meets it: a session
# bus of its own, a stand-in system bus (gnome-shell asks it for the login
# manager), PipeWire with WirePlumber, gnome-shell headless with two virtual
# monitors, its XWayland, and the real screen-cast portal with GNOME's own
# consent dialog (xdg-desktop-portal-gnome). gnome-shell runs in unsafe mode,
# so that the command may drive it through org.gnome.Shell.Eval.
#
#   gnome_chain.sh COMMAND...
#
# COMMAND sees DISPLAY (gnome-shell's XWayland), XAUTHORITY, the session bus
# and KESTROVE_PORTAL_WORK (the session's folder, logs/ in it). Its exit
# status is the script's.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/desktop_session.sh"

prepare_session() {
    session_require "gnome chain" dbus-run-session dbus-daemon pipewire wireplumber gnome-shell \
        Xwayland /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-gnome
    export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland
}
session_enter "gnome chain" "$@"
shift

export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system_bus_socket
session_start system-bus.log dbus-daemon --session --nofork --address="$DBUS_SYSTEM_BUS_ADDRESS"
wait_for "the stand-in system bus" 10 test -S "$XDG_RUNTIME_DIR/system_bus_socket"
session_start_pipewire
# gnome-shell 43 spawns ibus-daemon as it starts (even where none is
# installed) with a JavaScript child_setup; now and then the forked child
# deadlocks on a lock another thread held at the fork, and the shell waits for
# it for ever (one start in three or four with a core busy). A shell that has
# not said it started within 20 s is ended and started again.
for attempt in 1 2 3 4; do
    session_start gnome-shell.log gnome-shell --headless --unsafe-mode \
        --virtual-monitor 1280x720 --virtual-monitor 1024x768 --wayland-display=kestrove-wayland
    within 20 grep -q "GNOME Shell started" "$logs/gnome-shell.log" && break
    echo "$session_name: gnome-shell hung while it started (attempt $attempt); once more" >&2
    session_stop "${pids[-1]}"
    rm -f "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* # its XWayland's cookie
done
wait_for "gnome-shell" 60 on_bus org.gnome.Shell
wait_for "gnome-shell's screen cast" 30 on_bus org.gnome.Mutter.ScreenCast
session_find_xwayland gnome-shell "$logs/gnome-shell.log"

# The portals find the desktop's displays through the activation environment.
export WAYLAND_DISPLAY=kestrove-wayland DISPLAY=$display
dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XAUTHORITY XDG_CURRENT_DESKTOP \
    XDG_SESSION_TYPE DBUS_SYSTEM_BUS_ADDRESS
session_start xdg-desktop-portal-gnome.log /usr/libexec/xdg-desktop-portal-gnome
wait_for "xdg-desktop-portal-gnome" 20 on_bus org.freedesktop.impl.portal.desktop.gnome
session_start xdg-desktop-portal.log /usr/libexec/xdg-desktop-portal --replace
wait_for "xdg-desktop-portal" 20 on_bus org.freedesktop.portal.Desktop

session_run "$@"
