# Helpers shared by the scripts that start Vantrel and the simulator; sourced.

alive()
{
    kill -0 "$1" 2>/dev/null
}

# Waits up to about ten seconds for a test command while process pid lives.
await()
{
    local pid=$1
    shift
    for _ in $(seq 100); do
        "$@" && return 0
        alive "$pid" || return 1
        sleep 0.1
    done
    return 1
}

# Ends the processes listed in the array children, newest first (a window
# before its projector, the projector before the display), and waits for each.
stop_children()
{
    local i pid
    for ((i = ${#children[@]} - 1; i >= 0; i--)); do
        pid=${children[i]}
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
