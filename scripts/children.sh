# Sourced by scripts that start processes in the background: each is added to
# `pids` as it starts (pids+=($!)), and stop_children ends them, the last
# started first, waiting for each, so that none outlives the script.
pids=()
stop_children() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
}
