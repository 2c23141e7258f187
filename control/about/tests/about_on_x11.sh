#!/usr/bin/env bash
# Runs the About dialog on a virtual X server under a real window manager and checks what
# only a window manager decides: the dialog stays above the host's window and another
# program's window after they were activated, it is left out of the taskbar, it has no
# minimise or maximise box and cannot be resized, and its client area is 388 x 388. Saves a
# screenshot of the dialog with its frame.
#   about_on_x11.sh PROBE SCREENSHOT.png
set -euo pipefail
probe=$1
screenshot=$2

fail() {
    echo "about_on_x11: $*" >&2
    exit 1
}

source "$(dirname "$0")/../../../testing/x_session.sh"
work=$(mktemp -d)
x_session_start "$work"

# Starts the probe in the background and waits until it prints the id of its `role` window.
start_probe() {
    local role=$1 out=$work/$1.out
    shift
    QT_QPA_PLATFORM=xcb "$probe" "$@" >"$out" 2>"$work/$role.log" &
    pids+=($!)
    wait_for grep -q -e "^$role " -e '^error' "$out" \
        || fail "the $role probe did not get ready: $(cat "$out" "$work/$role.log")"
    ! grep -q '^error' "$out" || fail "$(cat "$out" "$work/$role.log")"
}

# Window ids as the root window's lists print them: 0x and hex without leading zeros.
window_id() {
    printf '0x%x' "$(awk -v role="$1" '$1 == role {print $2}' "$work"/*.out)"
}

# Bottom-to-top position of a window among the managed ones.
stacking_position() {
    local i stack
    read -r -a stack <<<"$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')"
    for i in "${!stack[@]}"; do
        [[ ${stack[i]} == "$1" ]] && echo "$i" && return
    done
    echo -1
}

start_probe host
start_probe other --other
about=$(window_id about)
host=$(window_id host)
other=$(window_id other)

state=$(xprop -id "$about" _NET_WM_STATE)
[[ $state == *_NET_WM_STATE_ABOVE* ]] || fail "not kept above: $state"
[[ $state == *_NET_WM_STATE_SKIP_TASKBAR* ]] || fail "shown in the taskbar: $state"

# The window manager settles focus and stacking a moment after the probes see them.
other_is_active() {
    [[ $(xprop -root _NET_ACTIVE_WINDOW) == *"$other"* ]]
}
dialog_is_on_top() {
    local about_at below below_at
    about_at=$(stacking_position "$about")
    for below in "$host" "$other"; do
        below_at=$(stacking_position "$below")
        ((below_at >= 0 && about_at > below_at)) || return 1
    done
}
wait_for other_is_active || fail "the other program is not active: $(xprop -root _NET_ACTIVE_WINDOW)"
wait_for dialog_is_on_top || fail "the dialog $about is covered (host $host, other $other):" \
    "$(xprop -root _NET_CLIENT_LIST_STACKING)"

# Openbox keeps a minimise action and draws its own title buttons for every window; what the
# dialog decides is the decorations it asks for, which leave out minimise (0x20) and
# maximise (0x40).
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
