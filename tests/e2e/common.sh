# Shared by the end-to-end scripts: PASS/FAIL reporting and the X window queries they use.
# Source it; it defines functions and CONVERT only.

# ImageMagick 6's convert (Debian's package installs it as /usr/bin/convert).
CONVERT=convert
[ -x /usr/bin/convert ] && CONVERT=/usr/bin/convert

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# check TEXT TEST-ARGS...: PASS or FAIL with TEXT, as `test TEST-ARGS` says.
check() {
    local text=$1
    shift
    if [ "$@" ]; then pass "$text"; else fail "$text"; fi
}

# Prints "x y w h" of a window: absolute position of its inside, and its size.
window_geometry() {
    xwininfo -id "$1" | awk '
        /Absolute upper-left X:/ { x = $NF }
        /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/  { w = $NF }
        /^ *Height:/ { h = $NF }
        END { print x, y, w, h }'
}

# Prints the id (0x...) of the top-level ancestor of a window: the WM's frame, or the window.
toplevel_of() {
    local win=$1 root parent
    root=$(xwininfo -root | awk '/Window id:/ { print $4; exit }')
    while :; do
        parent=$(xwininfo -tree -id "$win" | awk '/Parent window id:/ { print $4; exit }')
        if [ -z "$parent" ] || [ $((parent)) -eq $((root)) ]; then
            printf '0x%x\n' "$((win))"
            return
        fi
        win=$parent
    done
}

# Starts a window manager (logging to $WORK/openbox.log, pid in WM_PID) and waits until it
# has announced itself on the root window.
start_openbox() {
    openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
    WM_PID=$!
    for _ in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    return 1
}

# program_window PID LOG: prints the first visible window of the process, waiting up to 10 s.
# When none appears it prints why instead and returns 1.
program_window() {
    local pid=$1 log=$2 win="" server="the X server answers"
    for _ in $(seq 100); do
        win=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
        [ -n "$win" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -n "$win" ]; then
        echo "$win"
        return 0
    fi
    xwininfo -root >/dev/null 2>&1 || server="the X server $DISPLAY does not answer"
    echo "no visible kestrin window appeared within 10 s; $server; kestrin said: $(head -c 600 "$log")"
    return 1
}

# --- running a script's inner part under its own Xvfb ---------------------------------------

# Inner side, first thing: fails (exit 3) when no X server answers, since xvfb-run -a runs
# its command even when no server could be started; otherwise tells the outer side that
# the server runs, and which process it is.
announce_server() {
    xwininfo -root >/dev/null 2>&1 || exit 3
    tr -dc '0-9' <"/tmp/.X${DISPLAY#:}-lock" >"$INNER_STARTED" 2>/dev/null || : >"$INNER_STARTED"
}

# run_in_xvfb W H SECONDS TRIES COMMAND...: runs COMMAND under a fresh W x H Xvfb, trying up
# to TRIES times when the server does not start (another test may take the same display
# number at that moment). Returns COMMAND's status, or 77 when no server started; then
# XVFB_ERROR holds Xvfb's complaint.
run_in_xvfb() {
    local W=$1 H=$2 seconds=$3 tries=$4
    shift 4
    export INNER_STARTED
    INNER_STARTED=$(mktemp -u)
    local xlog rc=0 attempt
    xlog=$(mktemp)
    for attempt in $(seq "$tries"); do
        [ "$attempt" -gt 1 ] && sleep 1
        # -noreset: by default the server resets when its last client leaves, and a client
        # that connects during the reset is refused. The program must not inherit a
        # platform choice from the caller's environment.
        env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY timeout "$seconds" \
            xvfb-run -a -e "$xlog" -s "-screen 0 ${W}x${H}x24 -noreset" "$@"
        rc=$?
        [ -e "$INNER_STARTED" ] && break
    done
    XVFB_ERROR=$(grep -m 1 -i 'error' "$xlog")
    if [ ! -e "$INNER_STARTED" ]; then
        rm -f "$xlog"
        return 77
    fi
    local server_pid
    server_pid=$(cat "$INNER_STARTED")
    if [ $rc -ne 0 ] && [ -s "$xlog" ]; then
        echo "Xvfb said:"
        sed 's/^/    /' "$xlog"
    fi
    rm -f "$INNER_STARTED" "$xlog"
    # xvfb-run does not wait for its server to exit; do, before the next one starts.
    if [[ $server_pid =~ ^[0-9]+$ ]]; then
        local state
        for _ in $(seq 50); do
            state=$(awk '{ print $3 }' "/proc/$server_pid/stat" 2>/dev/null)
            if [ -z "$state" ] || [ "$state" = Z ]; then break; fi
            sleep 0.1
        done
    fi
    return $rc
}

# require_program_and_tools PROGRAM TOOL...: fails the test when the program is not an
# executable or a tool is missing; skips it (exit 77) when Xvfb is not installed.
require_program_and_tools() {
    if [ ! -x "$1" ]; then
        echo "FAIL: $1 is not an executable"
        exit 1
    fi
    shift
    if ! command -v xvfb-run >/dev/null || ! command -v Xvfb >/dev/null; then
        echo "SKIP: Xvfb is not installed (xvfb-run/Xvfb not found), the program cannot be shown"
        exit 77
    fi
    require_tools "$@"
}

# require_tools TOOL...: fails the test when one is missing.
require_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "FAIL: $tool is needed and not installed (see tools/install-deps.sh)"
            exit 1
        fi
    done
}
