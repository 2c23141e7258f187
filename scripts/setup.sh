#!/usr/bin/env bash
# Installs what building, testing, packaging and running need on Debian 12, and nothing less:
# a fresh machine (scripts/check-fresh.sh) must do with this list alone. Safe to run again:
# it only asks apt for what is missing, and says what that was.
#   --headless   only what the headless build (-DOMBRIX_BUILD_GUI=OFF) needs: no Qt, no X
set -euo pipefail

# The lookup library and mxlookup: build, tests, benchmarks, fuzzers, packages.
packages=(
    build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev libidn2-dev libc-ares-dev
    libcli11-dev nlohmann-json3-dev
    nsd unbound dnsmasq-base dnsutils ldnsutils dnsperf iproute2 util-linux time parallel
    scdoc file lintian mmdebstrap abigail-tools
)
# The component layer, the control, its Designer plugin, the sample and their window tests.
gui_packages=(
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools libqt6designer6 designer-qt6 libgl-dev
    libqt6opengl6-dev libxcb1-dev libxcb-xtest0-dev
    xvfb xauth openbox x11-utils imagemagick
)
case ${1:-} in
    --headless) ;;
    "") packages+=("${gui_packages[@]}") ;;
    *) echo "usage: bash scripts/setup.sh [--headless]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    if [[ $(id -u) -ne 0 ]]; then
        echo "setup: these packages are missing; run as root: ${missing[*]}" >&2
        exit 1
    fi
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "setup: every package is installed"
fi
# The packaged services are not wanted running: tests start their own instances.
for svc in nsd unbound; do
    if command -v systemctl >/dev/null && systemctl is-active --quiet "$svc" 2>/dev/null; then
        systemctl disable --now "$svc" >/dev/null 2>&1 || true
    fi
done
