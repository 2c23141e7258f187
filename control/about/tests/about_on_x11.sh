#!/usr/bin/env bash
# Runs the About dialog on a virtual X server under a real window manager and checks what
# only a window manager decides: the dialog stays above an activated host window, it is
# left out of the taskbar, it has no minimise or maximise box and cannot be resized, and its
# client area is 388 x 388. Saves a screenshot of the dialog with its frame.
#   about_on_x11.sh PROBE SCREENSHOT.png
set -euo pipefail
probe=$1
screenshot=$2

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "about_on_x11: $*" >&2
    exit 1
}

# Polls a command every tenth of a second, at most 100 times.
wait_for() {
    local tries
    for ((tries = 0; tries < 100; tries++)); do
        if "$@" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# The server picks a free display number and writes it to the descriptor when ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for sh -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" \
    || fail "openbox did not start: $(cat "$work/openbox.log")"

QT_QPA_PLATFORM=xcb "$probe" >"$work/probe.out" 2>"$work/probe.log" &
pids+=($!)
wait_for grep -q -e '^host-active' -e '^error' "$work/probe.out" \
    || fail "the probe did not get ready: $(cat "$work/probe.out" "$work/probe.log")"
grep -q '^error' "$work/probe.out" && fail "$(cat "$work/probe.out" "$work/probe.log")"
read -r _ host _ about < <(grep '^host ' "$work/probe.out")

# Window ids as the root window's lists print them: 0x plus hex without leading zeros.
host=$(printf '0x%x' "$host")
about=$(printf '0x%x' "$about")

state=$(xprop -id "$about" _NET_WM_STATE)
[[ $state == *_NET_WM_STATE_ABOVE* ]] || fail "not kept above: $state"
[[ $state == *_NET_WM_STATE_SKIP_TASKBAR* ]] || fail "shown in the taskbar: $state"

active=$(xprop -root _NET_ACTIVE_WINDOW)
[[ $active == *"$host"* ]] || fail "the host is not the active window: $active (host $host)"
# Bottom to top: the dialog must come after the active host.
stacking=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
read -r -a stack <<<"$stacking"
host_at=-1 about_at=-1
for i in "${!stack[@]}"; do
    [[ ${stack[i]} == "$host" ]] && host_at=$i
    [[ ${stack[i]} == "$about" ]] && about_at=$i
done
((host_at >= 0 && about_at > host_at)) || fail "the host $host covers the dialog $about: $stacking"

# Openbox keeps its own minimise action for every window; the boxes it draws follow the
# decorations the dialog asks for, which must leave out minimise (0x20) and maximise (0x40).
actions=$(xprop -id "$about" _NET_WM_ALLOWED_ACTIONS)
for forbidden in MAXIMIZE_HORZ MAXIMIZE_VERT RESIZE; do
    [[ $actions != *"_NET_WM_ACTION_$forbidden"* ]] || fail "allows $forbidden: $actions"
done
[[ $actions == *_NET_WM_ACTION_CLOSE* ]] || fail "has no close action: $actions"
motif=$(xprop -id "$about" _MOTIF_WM_HINTS)
fields=${motif#*= }
read -r _ _ decorations _ <<<"${fields//,/ }"
((decorations != 0 && (decorations & 0x60) == 0)) || fail "minimise or maximise box: $motif"

size=$(xwininfo -id "$about" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
[[ $size == 388x388 ]] || fail "client area is $size"

import -frame -window "$about" "$work/about.png"
colours=$(identify -format '%k' "$work/about.png")
((colours > 64)) || fail "the screenshot looks blank ($colours colours)"
mkdir -p "$(dirname "$screenshot")"
cp "$work/about.png" "$screenshot"
echo "about_on_x11: kept above, out of the taskbar, fixed, 388x388; screenshot $screenshot"
