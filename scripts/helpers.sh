# shellcheck shell=bash
# The small helpers the project's scripts share, sourced by each: failing
# with a message, waiting a bounded time for a condition, and a fresh
# runtime folder. Messages start with $script_name (the script's file name
# when it sets none); a script that defines fail_details has it run before
# it exits on a failure (to show its logs, say).

# Says why on standard error and exits with 1.
fail() {
    echo "${script_name:-$(basename "$0" .sh)}: $*" >&2
    if declare -F fail_details >/dev/null; then
        fail_details
    fi
    exit 1
}

# Says a finding on standard output and goes on; the script ends with
# $failed (which it sets to 0 first) as its status.
finding() {
    echo "$*"
    # shellcheck disable=SC2034 # read by the script that sources this
    failed=1
}

# Whether COMMAND succeeds within SECONDS, tried every 0.2 s; its output
# is dropped.
within() { # SECONDS COMMAND...
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

# Fails unless COMMAND succeeds within SECONDS.
wait_for() { # DESCRIPTION SECONDS COMMAND...
    local what=$1 seconds=$2
    shift 2
    within "$seconds" "$@" || fail "$what did not come up within ${seconds}s"
}

# Whether process PID has ended.
gone() { ! kill -0 "$1" 2>/dev/null; }

# A runtime folder for a private session (XDG_RUNTIME_DIR): only its owner
# may enter it, or programs refuse it.
fresh_runtime_dir() { # PATH
    mkdir -p "$1"
    chmod 700 "$1"
}
