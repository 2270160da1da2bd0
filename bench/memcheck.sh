#!/usr/bin/env bash
# Valgrind memcheck over a short run of the real program: a private Xvfb with
# two monitors, Kestrove under memcheck, switched between the monitors, its
# About box opened and closed, then ended with Alt+F4. Prints the leak and
# error summary, and the invalid accesses whose stack passes through
# Kestrove's own code. Exit status: 0 when there is no definite leak and no
# such access. Usage: bench/memcheck.sh   (BUILD_DIR: the build to use)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
for tool in valgrind xdotool Xvfb; do
    command -v "$tool" >/dev/null || {
        echo "memcheck: $tool is missing; install the packages in scripts/deps/*.txt" >&2
        exit 1
    }
done
if [[ ! -x $build/Kestrove || ! -x $build/tests/harness/kestrove_monitor_fixture ]]; then
    BUILD_DIR=$build "$root/scripts/build.sh" >/dev/null
fi

work=$(mktemp -d)
# shellcheck source=scripts/children.sh
. "$root/scripts/children.sh"
# shellcheck source=scripts/helpers.sh
. "$root/scripts/helpers.sh"
cleanup() {
    stop_children
    rm -rf "$work"
}
trap cleanup EXIT

# The server names its display once it takes connections.
Xvfb -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
within 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -1 "$work/display")

mkfifo "$work/fixture"
"$build/tests/harness/kestrove_monitor_fixture" 1280x720+1280+0* 600x800+1280+720 \
    >"$work/fixture" 2>/dev/null &
pids+=($!)
read -r -t 20 ready <"$work/fixture"
[[ $ready == ready ]] || { echo "memcheck: the monitor fixture did not come up" >&2; exit 1; }

valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
    --errors-for-leak-kinds=definite --num-callers=30 --log-file="$work/memcheck.log" \
    --suppressions="$root/bench/memcheck.supp" \
    "$build/Kestrove" >/dev/null 2>"$work/stderr" &
kestrove=$!
pids+=($kestrove)

window=$(timeout 120 xdotool search --sync --onlyvisible --classname Kestrove | head -1)
press() {
    xdotool windowfocus --sync "$1" key "$2"
    sleep "${3:-1}"
}
press "$window" ctrl+2
press "$window" ctrl+1
press "$window" Menu
press "$window" a 3
about=$(timeout 60 xdotool search --sync --onlyvisible --name 'Kestrove について' | head -1)
press "$about" Escape 2
press "$window" alt+F4 0
status=0
wait "$kestrove" || status=$?

echo "Kestrove under memcheck ended with status $status; stderr: $(cat "$work/stderr")"
grep -E "definitely lost|indirectly lost|possibly lost|ERROR SUMMARY" "$work/memcheck.log" |
    sed 's/^==[0-9]*== *//'
# Each error block: its first line names the kind, its stack follows.
ours=$(awk '/^==[0-9]+== [^ ]/ { block = $0; next }
            /^==[0-9]+== +(at|by) .*kestrove::/ && block != "" { print block; block = "" }
            /^==[0-9]+== *$/ { block = "" }' "$work/memcheck.log" |
    grep -E "Invalid|uninitialised|Mismatched|overlap|definitely lost" || true)
if [[ -n $ours ]]; then
    echo "errors whose stack passes through Kestrove's code:"
    echo "$ours" | sed 's/^==[0-9]*== *//' | sort | uniq -c
    cp "$work/memcheck.log" "${MEMCHECK_LOG:-/tmp/kestrove-memcheck.log}"
    echo "full log: ${MEMCHECK_LOG:-/tmp/kestrove-memcheck.log}"
    exit 1
fi
echo "no definite leak and no invalid access in Kestrove's code"
