# What the window tests share: their tools, a private X server, a work folder cleaned up at the
# end, waits that poll with a limit under one budget for the whole run, and failures that say
# what was seen. Sourced after the script sets budget (seconds for everything); it may define
# on_failure (more lines for a failure) and on_poll (a check made at every poll of a wait).

# Skips the test (status 77) when a tool is missing.
require_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || {
            echo "SKIP: $tool is not installed (make deps installs it)"
            exit 77
        }
    done
}

work=$(mktemp -d)
# In a sanitizer build the leak check at exit is left to the headless suites: with a display,
# SDL loads D-Bus and sound libraries that keep memory they never free, and unloads them
# before the check, so their allocations cannot even be told apart from the program's.
# Every other sanitizer check stays on.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
xvfb_pid="" velmora_pid="" run=""
cleanup() {
    [[ -n $velmora_pid ]] && kill "$velmora_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
started=$SECONDS

fail() {
    echo "FAIL${run:+ ($run)}: $*"
    declare -F on_failure >/dev/null && on_failure
    if [[ -n ${VELMORA_E2E_KEEP:-} ]]; then
        cp -r "$work" "$VELMORA_E2E_KEEP" && echo "files kept in $VELMORA_E2E_KEEP"
    fi
    exit 1
}

# wait_for SECONDS WHAT COMMAND...: runs COMMAND every 0.2 s until it succeeds.
wait_for() {
    local limit=$1 what=$2
    shift 2
    local until=$((SECONDS + limit))
    until "$@"; do
        ((SECONDS - started < budget)) || fail "the test's $budget s budget ran out waiting for $what"
        ((SECONDS < until)) || fail "no $what after $limit s"
        if [[ -n $velmora_pid ]] && ! kill -0 "$velmora_pid" 2>/dev/null; then
            wait "$velmora_pid"
            fail "velmora ended (status $?) while waiting for $what"
        fi
        declare -F on_poll >/dev/null && on_poll
        sleep 0.2
    done
}

# start_x_server WxH: a private X server of that screen size, DISPLAY set to it.
# -noreset: without it the server resets when its last client leaves, here the readiness probe,
# and a program that connects during the reset is refused.
start_x_server() {
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$work/display" \
        2>"$work/xvfb.err" &
    xvfb_pid=$!
    has_display() { [[ -s $work/display ]] && xdpyinfo -display ":$(cat "$work/display")" >/dev/null 2>&1; }
    wait_for 30 "X server" has_display
    export DISPLAY=:$(cat "$work/display")
}
