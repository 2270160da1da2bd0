#!/usr/bin/env bash
# Runs a command inside a private GNOME session as a user meets it: a session
# bus of its own, a stand-in system bus (gnome-shell asks it for the login
# manager), PipeWire with WirePlumber, gnome-shell headless with two virtual
# monitors, its XWayland, and the real screen-cast portal with GNOME's own
# consent dialog (xdg-desktop-portal-gnome). gnome-shell runs in unsafe mode,
# so that the command may drive it through org.gnome.Shell.Eval.
#
#   gnome_chain.sh 43|48 COMMAND...
#   gnome_chain.sh 48 --root-only    makes the Debian 13 root, if one is needed
#
# A version is run from this machine where its GNOME is that version (43 on
# Debian 12, 48 on Debian 13). GNOME 48 elsewhere comes from a Debian 13 root
# that scripts/debian-root.sh makes once and keeps (exit 77 when it must be
# made and the archive cannot be reached): the session bus, PipeWire,
# WirePlumber, gnome-shell and the portals run in it, beside this machine's
# sockets; COMMAND runs here. GNOME 43 is never made: on a machine with
# another GNOME it is skipped (exit 77), saying so. mutter 48 takes the first
# free X display from :0 and cannot be told another, so its session has a
# network namespace and a /tmp of its own.
#
# KESTROVE_GNOME_MONITORS lists the virtual monitors' sizes (default
# "1280x720 1024x768"). COMMAND sees DISPLAY (gnome-shell's XWayland), XAUTHORITY, the session bus,
# KESTROVE_GNOME_VERSION and KESTROVE_PORTAL_WORK (the session's folder,
# logs/ in it; bin/gdctl runs GNOME 48's gdctl). Its exit
# status is the script's.
set -euo pipefail
here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
# shellcheck source=scripts/helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/helpers.sh"
source "$(dirname "${BASH_SOURCE[0]}")/desktop_session.sh"

gnome48_packages="gnome-shell mutter xwayland xdg-desktop-portal xdg-desktop-portal-gnome pipewire
    wireplumber dbus-daemon dbus-bin"
libexec=/usr/libexec

version=${1-}
[[ $version == --inside ]] && version=${2-}
[[ $version == 43 || $version == 48 ]] || {
    echo "gnome chain: GNOME 43 or 48, not '$version'" >&2
    exit 2
}

if [[ ${1-} != --inside && -z ${KESTROVE_GNOME_PRIVATE-} ]]; then
    machine_version=$(gnome-shell --version 2>/dev/null | sed -n 's/^GNOME Shell \([0-9]*\).*/\1/p')
    if [[ $version != "$machine_version" ]]; then
        if [[ $version == 43 && -n $machine_version ]]; then
            echo "gnome chain: GNOME 43 is Debian 12's; this machine has GNOME $machine_version" >&2
            exit 77
        fi
        if [[ $version == 48 ]]; then
            session_require "gnome chain" unshare mount
            # shellcheck source=scripts/debian-root.sh
            source "$here/../../scripts/debian-root.sh"
            # shellcheck disable=SC2086 # one package a word
            KESTROVE_GNOME_ROOT=$(debian_root trixie $gnome48_packages) || exit
            export KESTROVE_GNOME_ROOT
        fi
    fi
    [[ ${2-} == --root-only ]] && exit 0
    if [[ $version == 48 ]]; then
        export KESTROVE_GNOME_PRIVATE=1
        exec unshare --net --mount --propagation private -- "$0" "$@"
    fi
fi
if [[ $version == 48 && -z ${KESTROVE_GNOME_TMP-} ]]; then
    mount -t tmpfs -o mode=1777 kestrove-tmp /tmp
    mkdir -m 1777 /tmp/.X11-unix # mutter 48 wants it there before it starts
    export KESTROVE_GNOME_TMP=/tmp
fi

# Each program of the session a command in the session's bin/: with a root
# one that runs the root's, with its own PATH, so that what it starts is the
# root's too.
link_session_programs() {
    local program bin=$work/bin
    mkdir -p "$bin"
    for program in dbus-daemon pipewire wireplumber gnome-shell gdctl \
        $libexec/xdg-desktop-portal $libexec/xdg-desktop-portal-gnome; do
        if [[ -n ${KESTROVE_GNOME_ROOT-} ]]; then
            printf '#!/usr/bin/env bash\nsource %q\nin_debian_root %q env %s %q "$@"\n' \
                "$here/../../scripts/debian-root.sh" "$KESTROVE_GNOME_ROOT" \
                PATH=/usr/sbin:/usr/bin:/sbin:/bin "$program" >"$bin/${program##*/}"
            chmod +x "$bin/${program##*/}"
        elif command -v "$program" >/dev/null; then
            ln -s "$(command -v "$program")" "$bin/${program##*/}"
        fi
    done
}

prepare_session() {
    session_require "gnome chain" dbus-run-session busctl dbus-update-activation-environment
    if [[ -z ${KESTROVE_GNOME_ROOT-} ]]; then
        session_require "gnome chain" dbus-daemon pipewire wireplumber gnome-shell Xwayland \
            $libexec/xdg-desktop-portal $libexec/xdg-desktop-portal-gnome
    fi
    link_session_programs
    session_bus_daemon=$work/bin/dbus-daemon
    export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland KESTROVE_GNOME_VERSION=$version
}
session_enter "gnome chain" "$@"
shift 2 # --inside and the version
PATH=$work/bin:$PATH

export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system_bus_socket
session_start system-bus.log dbus-daemon --session --nofork --address="$DBUS_SYSTEM_BUS_ADDRESS"
wait_for "the stand-in system bus" 10 test -S "$XDG_RUNTIME_DIR/system_bus_socket"
session_start_pipewire
# gnome-shell 43 spawns ibus-daemon as it starts (even where none is
# installed) with a JavaScript child_setup; now and then the forked child
# deadlocks on a lock another thread held at the fork, and the shell waits for
# it for ever (one start in three or four with a core busy). A shell that has
# not said it started in time is ended and started again: 20 s for GNOME 43;
# GNOME 48 takes longer to start on a busy machine.
start_limit=20
[[ $version == 48 ]] && start_limit=60
monitors=()
for size in ${KESTROVE_GNOME_MONITORS:-1280x720 1024x768}; do
    monitors+=(--virtual-monitor "$size")
done
for attempt in 1 2 3 4; do
    session_start gnome-shell.log gnome-shell --headless --unsafe-mode "${monitors[@]}" \
        --wayland-display=kestrove-wayland
    within "$start_limit" grep -q "GNOME Shell started" "$logs/gnome-shell.log" && break
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
# The portals keep the source types that mutter's screen cast offered when
# they met it. The bus may have started a back-end on demand before the
# shell's screen cast was up (or for a shell started again); it then offers
# no monitors for good, so it is replaced until it offers them, and only
# then does the front-end meet it. Asking them starts none.
# shellcheck disable=SC2317 # called through within
offers_monitors() { # SERVICE INTERFACE
    local types
    types=$(busctl --user --auto-start=no get-property "$1" /org/freedesktop/portal/desktop \
        "$2" AvailableSourceTypes) || return 1
    (((${types#u } & 1) != 0))
}
# The bus may also have started a front-end on demand (mutter 48's window
# frames ask the portal for settings as XWayland starts): the one started
# here replaces it, and is waited for by its process, or the command's first
# call could go to the one about to leave the bus and fail with it. One that
# could not take the name has left: whoever holds it then stays.
# shellcheck disable=SC2317 # called through within
owned_by() { # SERVICE PID: the name's owner is PID or a process it started
    local owner
    owner=$(busctl --user status "$1" | sed -n 's/^PID=//p')
    while [[ -n $owner && $owner != 1 && $owner != 0 ]]; do
        [[ $owner == "$2" ]] && return 0
        owner=$(ps -o ppid= -p "$owner" | tr -d ' ')
    done
    return 1
}
# shellcheck disable=SC2317 # called through within
started_and_offers_monitors() { # SERVICE INTERFACE PID
    { owned_by "$1" "$3" || gone "$3"; } && offers_monitors "$1" "$2"
}
for attempt in 1 2 3; do
    session_start xdg-desktop-portal-gnome.log xdg-desktop-portal-gnome --replace
    within 20 started_and_offers_monitors org.freedesktop.impl.portal.desktop.gnome \
        org.freedesktop.impl.portal.ScreenCast "${pids[-1]}" && break
    echo "$session_name: GNOME's portal offers no monitors (attempt $attempt); replaced" >&2
done
session_start xdg-desktop-portal.log xdg-desktop-portal --replace
wait_for "xdg-desktop-portal's monitors" 20 started_and_offers_monitors \
    org.freedesktop.portal.Desktop org.freedesktop.portal.ScreenCast "${pids[-1]}"

session_run "$@"
