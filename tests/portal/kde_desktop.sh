#!/usr/bin/env bash
# What a test does to the KDE session of kde_chain.sh, as a user would:
#
#   kde_desktop.sh controls           the dialog's controls, one a line:
#                                     role, x, y, width, height (the desktop's
#                                     logical coordinates), checked (1 or 0)
#                                     and name, tabs between
#   kde_desktop.sh click X Y          a click there (KWin's fake input)
#   kde_desktop.sh scale OUTPUT F     the output's scale (kscreen-doctor)
#   kde_desktop.sh outputs            kscreen-doctor's account of the outputs
#   kde_desktop.sh restart-portal     ends KDE's portal back-end and has the
#                                     bus start a fresh one, as a session's
#                                     start does
#
# Programs of the root run in the session's mount namespace and root (its
# first process is in KESTROVE_PORTAL_WORK/session.pid).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/helpers.sh
source "$here/../../scripts/helpers.sh"
work=${KESTROVE_PORTAL_WORK:?run by a test inside kde_chain.sh}
session=$(cat "$work/session.pid")

in_session() {
    nsenter --target "$session" --mount --root --wd=/ env -i PATH=/usr/bin:/bin \
        HOME="$work" XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY=kestrove-kde \
        XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" \
        DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" "$@"
}

# The session's processes whose program's path ends in PATH (seen from
# here, it starts with the root's).
session_processes() { # PATH
    local ns process
    ns=$(readlink "/proc/$session/ns/mnt")
    for process in /proc/[0-9]*; do
        if [[ $(readlink "$process/ns/mnt" 2>/dev/null) == "$ns" &&
            $(readlink "$process/exe" 2>/dev/null) == *"$1" ]]; then
            echo "${process#/proc/}"
        fi
    done
}

# Started and up before anyone asks: KDE starts it with the session, and
# its start (Qt, QML) takes seconds on a busy machine.
start_backend() {
    dbus-send --session --print-reply --reply-timeout=60000 --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.StartServiceByName \
        string:org.freedesktop.impl.portal.desktop.kde uint32:0 >/dev/null
}

case ${1-} in
controls)
    IFS=, read -r left top <<<"${KESTROVE_KDE_DIALOG_AT:?}"
    /usr/bin/python3 "$here/kde_dialog_controls.py" |
        awk -F '\t' -v OFS='\t' -v left="$left" -v top="$top" '{ $2 += left; $3 += top; print }'
    ;;
click)
    in_session "$work/bin/kestrove_fake_input_click" "$2" "$3"
    ;;
scale)
    in_session kscreen-doctor "output.$2.scale.$3"
    ;;
outputs)
    in_session kscreen-doctor --outputs
    ;;
restart-portal)
    backend=/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
    for pid in $(session_processes "$backend"); do
        kill "$pid"
        within 5 gone "$pid" || true
    done
    start_backend
    ;;
*)
    echo "usage: kde_desktop.sh controls|click X Y|scale OUTPUT FACTOR|outputs|restart-portal" >&2
    exit 2
    ;;
esac
