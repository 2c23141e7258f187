#!/usr/bin/env bash
# Takes the README's picture of Designer with the mxquery control on a form: Designer runs on
# an X server of its own under a window manager, with the build tree's plugins, the control
# registered in a store of the script's own and docs/designer-form.ui open.
#   bash scripts/designer-screenshot.sh [BUILD_DIR [OUTPUT.png]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/default}")
output=${2:-docs/designer.png}
cmake --build "$build" --target ombrix ombrix_designer component_control_host_designer \
    component-registry >/dev/null

fail() {
    echo "designer-screenshot: $*" >&2
    exit 1
}

source testing/x_session.sh
work=$(mktemp -d)

x_session_start "$work" 1280x800x24

# A fresh home, so that no earlier Designer session decides the layout, and a store of our own
# (the window manager, started before, still finds its themes in the system data folders).
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
export COMPONENT_REGISTRY=$work/registry XDG_DATA_DIRS=$work/no-system-data
mkdir -p "$HOME"
"$build/component/component-registry" register "$build/control/libombrix.so" >/dev/null

QT_QPA_PLATFORM=xcb QT_PLUGIN_PATH=$build /usr/lib/qt6/bin/designer \
    "$PWD/docs/designer-form.ui" >"$work/designer.log" 2>&1 &
pids+=($!)
# A busy machine takes Designer a while to start: a minute at most.
wait_tries=600 wait_for sh -c "xwininfo -root -tree | grep -q 'Qt Designer'" ||
    fail "Designer did not open: $(cat "$work/designer.log")"
# Designer lays out its docks and paints the form a moment after its window appears.
sleep 3
import -window root "$work/designer.png"
colours=$(identify -format '%k' "$work/designer.png")
((colours > 64)) || fail "the screenshot looks blank ($colours colours)"
cp "$work/designer.png" "$output"
echo "designer-screenshot: $output"
