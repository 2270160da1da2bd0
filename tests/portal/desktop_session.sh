# shellcheck shell=bash
# What the private desktop sessions of portal_chain.sh and gnome_chain.sh
# share, sourced by both: the session's own folder and bus, the processes it
# starts and ends, waiting for each to come up, and the compositor's XWayland.
# It waits and fails with scripts/helpers.sh, which its user sources first.
#
# A script calls session_enter NAME "$@" first: outside the session it makes
# the folder, calls the script's own prepare_session (what must be set before
# the bus starts), runs the script again inside dbus-run-session and exits
# with its status; inside it returns, with $work and $logs set. A
# prepare_session that sets session_bus_daemon names the bus's program.

session_require() { # NAME TOOL... (a path for tools outside PATH)
    local name=$1 tool
    shift
    for tool in "$@"; do
        if [[ $tool == /* ]]; then
            [[ -x $tool ]] && continue
        else
            command -v "$tool" >/dev/null && continue
        fi
        echo "$name: ${tool##*/} is not installed" >&2
        exit 1
    done
}

session_enter() { # NAME ARGUMENTS...
    session_name=$1
    # shellcheck disable=SC2034 # helpers.sh's messages
    script_name=$1
    shift
    if [[ ${1-} == --inside ]]; then
        work=$KESTROVE_PORTAL_WORK
        logs=$work/logs
        pids=()
        trap session_stop_all EXIT
        return
    fi
    work=$(mktemp -d "/tmp/kestrove-${session_name%% *}.XXXXXX")
    trap session_cleanup EXIT
    mkdir -p "$work/logs"
    fresh_runtime_dir "$work/runtime"
    prepare_session
    export XDG_RUNTIME_DIR=$work/runtime HOME=$work KESTROVE_PORTAL_WORK=$work
    unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
    local status=0
    dbus-run-session ${session_bus_daemon:+--dbus-daemon="$session_bus_daemon"} -- \
        "$0" --inside "$@" || status=$?
    exit "$status"
}

# The portal front-end starts the document portal, which mounts a FUSE file
# system in the runtime folder.
session_cleanup() {
    local doc=$work/runtime/doc
    if mountpoint -q "$doc" 2>/dev/null; then
        fusermount3 -u "$doc" 2>/dev/null || umount -l "$doc" 2>/dev/null || true
    fi
    rm -rf "$work" 2>/dev/null || echo "$session_name: could not remove $work" >&2
}

# Each is asked to end, the last started first; one that has not ended after
# five seconds (hung, as a failed start may leave it) is killed, and so are
# its children left behind.
session_stop_all() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        session_stop "${pids[i]}"
    done
}

session_stop() { # PID
    local pid=$1 children
    children=$(pgrep -P "$pid" || true)
    if kill "$pid" 2>/dev/null; then
        within 5 gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    if [[ -n $children ]]; then
        # shellcheck disable=SC2086 # one word each
        kill -KILL $children 2>/dev/null || true
    fi
}

session_show_logs() {
    local log
    for log in "$logs"/*; do
        echo "---- $(basename "$log") (last lines)" >&2
        tail -n 15 "$log" >&2
    done
}

# What helpers.sh's fail shows: what the session's programs said.
fail_details() { session_show_logs; }

on_bus() { busctl --user status "$1"; }

session_start() { # LOG COMMAND...: in the background, ended with the session
    local log=$1
    shift
    "$@" >"$logs/$log" 2>&1 &
    pids+=($!)
}

session_start_pipewire() {
    session_start pipewire.log pipewire
    wait_for "pipewire" 10 test -S "$XDG_RUNTIME_DIR/pipewire-0"
    session_start wireplumber.log wireplumber
}

# The compositor's XWayland, named in its log; mutter lets only holders of
# its cookie onto it. Sets $display and exports XAUTHORITY.
session_find_xwayland() { # COMPOSITOR LOG
    local compositor=$1 log=$2
    wait_for "$compositor's XWayland" 30 grep -q "Using public X11 display" "$log"
    display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$log" | head -n 1)
    wait_for "XWayland on $display" 30 test -S "/tmp/.X11-unix/X${display#:}"
    XAUTHORITY=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name '.mutter-Xwaylandauth.*' | head -n 1)
    export XAUTHORITY
}

session_run() { # COMMAND...: its status is the session's
    local status=0
    "$@" || status=$?
    if ((status != 0)); then
        session_show_logs
    fi
    exit "$status"
}
