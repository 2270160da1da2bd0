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

if [[ ${1-} != --inside ]]; then
    for tool in dbus-run-session dbus-daemon pipewire wireplumber gnome-shell Xwayland; do
        command -v "$tool" >/dev/null || { echo "gnome chain: $tool is not installed" >&2; exit 1; }
    done
    for tool in xdg-desktop-portal xdg-desktop-portal-gnome; do
        [[ -x /usr/libexec/$tool ]] || { echo "gnome chain: $tool is not installed" >&2; exit 1; }
    done
    work=$(mktemp -d /tmp/kestrove-gnome.XXXXXX)
    cleanup() {
        local doc=$work/runtime/doc
        if mountpoint -q "$doc" 2>/dev/null; then
            fusermount3 -u "$doc" 2>/dev/null || umount -l "$doc" 2>/dev/null || true
        fi
        rm -rf "$work" 2>/dev/null || echo "gnome chain: could not remove $work" >&2
    }
    trap cleanup EXIT
    mkdir -p "$work/logs" "$work/runtime"
    chmod 700 "$work/runtime"
    export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland
    export XDG_RUNTIME_DIR=$work/runtime HOME=$work KESTROVE_PORTAL_WORK=$work
    unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
    status=0
    dbus-run-session -- "$0" --inside "$@" || status=$?
    exit "$status"
fi
shift
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
            echo "gnome chain: $what did not come up within ${seconds}s" >&2
            show_logs
            exit 1
        fi
        sleep 0.2
    done
}
on_bus() { busctl --user status "$1"; }

export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system_bus_socket
dbus-daemon --session --nofork --address="$DBUS_SYSTEM_BUS_ADDRESS" >"$logs/system-bus.log" 2>&1 &
pids+=($!)
wait_for "the stand-in system bus" 10 test -S "$XDG_RUNTIME_DIR/system_bus_socket"
pipewire >"$logs/pipewire.log" 2>&1 &
pids+=($!)
wait_for "pipewire" 10 test -S "$XDG_RUNTIME_DIR/pipewire-0"
wireplumber >"$logs/wireplumber.log" 2>&1 &
pids+=($!)
gnome-shell --headless --unsafe-mode --virtual-monitor 1280x720 --virtual-monitor 1024x768 \
    --wayland-display=kestrove-wayland >"$logs/gnome-shell.log" 2>&1 &
pids+=($!)
wait_for "gnome-shell" 60 on_bus org.gnome.Shell
wait_for "gnome-shell's screen cast" 30 on_bus org.gnome.Mutter.ScreenCast
wait_for "gnome-shell's XWayland" 30 grep -q "Using public X11 display" "$logs/gnome-shell.log"
display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$logs/gnome-shell.log" | head -n 1)
wait_for "XWayland on $display" 30 test -S "/tmp/.X11-unix/X${display#:}"
XAUTHORITY=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name '.mutter-Xwaylandauth.*' | head -n 1)
export XAUTHORITY

# The portals find the desktop's displays through the activation environment.
export WAYLAND_DISPLAY=kestrove-wayland DISPLAY=$display
dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XAUTHORITY XDG_CURRENT_DESKTOP \
    XDG_SESSION_TYPE DBUS_SYSTEM_BUS_ADDRESS
/usr/libexec/xdg-desktop-portal-gnome >"$logs/xdg-desktop-portal-gnome.log" 2>&1 &
pids+=($!)
wait_for "xdg-desktop-portal-gnome" 20 on_bus org.freedesktop.impl.portal.desktop.gnome
/usr/libexec/xdg-desktop-portal --replace >"$logs/xdg-desktop-portal.log" 2>&1 &
pids+=($!)
wait_for "xdg-desktop-portal" 20 on_bus org.freedesktop.portal.Desktop

status=0
"$@" || status=$?
if ((status != 0)); then
    show_logs
fi
exit "$status"
