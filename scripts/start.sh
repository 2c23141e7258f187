#!/usr/bin/env bash
# Installs what is needed, builds, registers the control in the user's component store and
# starts the sample window.
#   --xvfb   run the window on a virtual X display (machines without a desktop)
set -euo pipefail
cd "$(dirname "$0")/.."

virtual_display=false
case ${1:-} in
    --xvfb) virtual_display=true ;;
    "") ;;
    *)
        echo "usage: bash scripts/start.sh [--xvfb]" >&2
        exit 2
        ;;
esac

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target ombrix component-registry sample

build=build/default
"$build/component/component-registry" register "$PWD/$build/control/libombrix.so"

if $virtual_display; then
    echo "start: the window runs on a virtual display; end it with Ctrl-C" >&2
    exec xvfb-run -a "$build/sample/sample"
fi
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    cat >&2 <<MESSAGE
start: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).
The control is built and registered. Run the window on a virtual X display instead:
    bash scripts/start.sh --xvfb
or, without rebuilding:
    xvfb-run -a $build/sample/sample
MESSAGE
    exit 1
fi
exec "$build/sample/sample"
