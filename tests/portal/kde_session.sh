#!/usr/bin/env bash
# kde_session.sh WORK: the KDE Plasma 6 session of kde_chain.sh, run inside
# the Debian 13 root (its /tmp is this machine's, so WORK is at the same path
# inside and out). A session bus of its own (the root's services are
# activated on it), PipeWire with WirePlumber, KWin's virtual back-end with
# two outputs and its XWayland, the real screen-cast portal whose KDE
# back-end the bus starts when it is first asked. Writes WORK/session.env
# once all are up; runs until it is ended.
set -euo pipefail
work=$1
# shellcheck source=scripts/helpers.sh
source "$work/helpers.sh"
# shellcheck source=tests/portal/desktop_session.sh
source "$work/desktop_session.sh"
session_name="kde session"
logs=$work/logs
pids=()
trap session_stop_all EXIT
trap 'exit 143' TERM INT
# kde_chain.sh shows the logs when the session does not come up.
session_show_logs() { :; }
# busctl asks the bus for credentials this bus cannot give.
on_bus() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetNameOwner "string:$1"
}

export XDG_RUNTIME_DIR=$work/runtime HOME=$work XDG_CONFIG_HOME=$work/config \
    XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=KDE
# KDE's service cache reads this menu: the programs KWin grants casting and
# fake input to must be listed in it.
export XDG_MENU_PREFIX=plasma-
export WAYLAND_DISPLAY=kestrove-kde QT_QPA_PLATFORM=wayland
# The dialog's controls are read through AT-SPI.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
session_start session-bus.log dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS"
wait_for "the session bus" 10 test -S "$XDG_RUNTIME_DIR/bus"
session_start_pipewire

# KDE's service cache made once before any KDE program runs: KWin reads it
# for each new client (what it may be offered), and a program that found it
# out of date would rebuild it meanwhile.
kbuildsycoca6 --noincremental >"$logs/kbuildsycoca6.log" 2>&1

# KWin composites with OpenGL, and so casts, only with a render node: the
# stand-in gives it one backed by memory, drawn by Mesa's software driver.
# KWin starts the program given after its options once XWayland is up, with
# DISPLAY and XAUTHORITY set.
session_start kwin.log env LD_PRELOAD="$work/render_node_standin.so" GBM_ALWAYS_SOFTWARE=1 \
    kwin_wayland --virtual --xwayland --output-count 2 --width 1280 --height 720 \
    --socket "$WAYLAND_DISPLAY" "$work/xwayland_up.sh"
wait_for "KWin's XWayland" 60 test -s "$work/xwayland.env"
# shellcheck source=/dev/null
source "$work/xwayland.env"
export DISPLAY XAUTHORITY
wait_for "KWin" 20 on_bus org.kde.KWin

dbus-update-activation-environment DISPLAY XAUTHORITY WAYLAND_DISPLAY XDG_CURRENT_DESKTOP \
    XDG_SESSION_TYPE XDG_SESSION_DESKTOP XDG_MENU_PREFIX QT_QPA_PLATFORM \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME HOME
# The portal and its KDE back-end are started by the bus, as in a desktop
# session (KWin has asked for the portal already), and are up before the
# first client asks.
for service in org.freedesktop.portal.Desktop org.freedesktop.impl.portal.desktop.kde; do
    dbus-send --session --print-reply --reply-timeout=60000 --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.StartServiceByName "string:$service" uint32:0 \
        >/dev/null
    wait_for "$service" 20 on_bus "$service"
done

printf 'DBUS_SESSION_BUS_ADDRESS=%s\nDISPLAY=%s\nXAUTHORITY=%s\n' \
    "$DBUS_SESSION_BUS_ADDRESS" "$DISPLAY" "$XAUTHORITY" >"$work/session.env.tmp"
mv "$work/session.env.tmp" "$work/session.env"
wait
