# Sourced by scripts that need an X server of their own under a real window manager.
# x_session_start WORK_DIR starts Xvfb on a free display and openbox on it, exports DISPLAY,
# and records both in `pids`; the EXIT trap ends everything in `pids`, newest first, and
# removes WORK_DIR. The caller defines fail MESSAGE.

pids=()
x_session_work=""

x_session_cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    [[ -z $x_session_work ]] || rm -rf "$x_session_work"
}
trap x_session_cleanup EXIT

# Polls a command every tenth of a second, at most $wait_tries times (100 unless set).
wait_for() {
    local tries
    for ((tries = 0; tries < ${wait_tries:-100}; tries++)); do
        if "$@" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

x_session_start() {
    x_session_work=$1
    local screen=${2:-1024x768x24}
    # The server picks a free display number and writes it to the descriptor when ready.
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$x_session_work/display" \
        2>"$x_session_work/xvfb.log" &
    pids+=($!)
    wait_for test -s "$x_session_work/display" ||
        fail "Xvfb did not start: $(cat "$x_session_work/xvfb.log")"
    export DISPLAY=":$(head -n1 "$x_session_work/display")"

    openbox --sm-disable >"$x_session_work/openbox.log" 2>&1 &
    pids+=($!)
    wait_for sh -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" ||
        fail "openbox did not start: $(cat "$x_session_work/openbox.log")"
}
