#!/usr/bin/env bash
# Checks the committed tree on a fresh Debian 12 root, as a new user would meet it: builds a
# bare root with mmdebstrap from this machine's own apt sources, copies the committed tree in,
# runs the README's two commands (the first up to where it needs a display), builds the
# packages, installs them, checks them as a fresh user and removes them again. A second bare
# root does the same for the headless build with only its own packages, none of Qt: configure,
# build, test, install, package, install the packages and build a program against them.
# Run as root; the log goes to build/check-fresh.log and says what the setup installed.
#   --quick      run the test command with --quick (no sanitizer build, no fuzzing)
#   --headless   check the headless build alone
set -euo pipefail

inside_checks() {
    local quick=$1 started=$SECONDS
    cd /root/ombrix
    phase() { echo "check-fresh: $* (at $((SECONDS - started)) s)"; }

    phase "README 1: bash scripts/start.sh"
    local status=0
    unset DISPLAY WAYLAND_DISPLAY
    bash scripts/start.sh >start.out 2>&1 || status=$?
    cat start.out
    # Without a display the script ends after building and registering, and says so.
    if ((status != 1)) || ! grep -q "no display to show the window on" start.out; then
        echo "check-fresh: start.sh did not get to the point where it needs a display" >&2
        return 1
    fi
    build/default/component/component-registry list | grep -q '^Ombrix.mxquery	' ||
        { echo "check-fresh: start.sh did not register the control" >&2; return 1; }

    phase "README 2: bash scripts/test.sh $quick"
    bash scripts/test.sh $quick

    phase "bash scripts/package.sh"
    bash scripts/package.sh
    packages_round installed_checks
    phase "done"
}

# Installs the packages just built, runs the given checks on them, removes them again and looks
# for anything they left.
packages_round() {
    phase "installing the packages"
    apt-get install -y -qq ./build/packages/*.deb
    "$@"
    phase "removing the packages"
    local packages
    packages=$(for deb in build/packages/*.deb; do dpkg-deb -f "$deb" Package; done)
    # shellcheck disable=SC2086
    apt-get purge -y -qq $packages
    leftovers_check
}

installed_checks() {
    useradd --create-home fresh
    local as_fresh=(runuser -u fresh -- env HOME=/home/fresh)
    "${as_fresh[@]}" mxlookup --version
    "${as_fresh[@]}" component-registry list | tee /tmp/list.out
    grep -q "^Ombrix.mxquery	.*	/usr/share/component/registry.d/libombrix.registry$" \
        /tmp/list.out || { echo "check-fresh: no system registration listed" >&2; return 1; }
    sample_creates_control "${as_fresh[@]}"
    designer_finds_plugin "${as_fresh[@]}"
}

# The sample's title names the control's version only once it has created the control.
sample_creates_control() {
    "$@" xvfb-run -a -n 97 -s "-screen 0 1024x768x24" bash -c '
        ombrix-sample & pid=$!
        for _ in $(seq 60); do
            if xwininfo -root -tree | grep -q "\"Using Ombrix v"; then kill "$pid"; exit 0; fi
            sleep 0.5
        done
        kill "$pid"; exit 1' ||
        { echo "check-fresh: the installed sample did not create the control" >&2; return 1; }
    echo "check-fresh: the installed sample created the control"
}

designer_finds_plugin() {
    local plugins
    plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS)
    "$@" QT_DEBUG_PLUGINS=1 QT_QPA_PLATFORM=offscreen timeout 20 /usr/lib/qt6/bin/designer \
        >/tmp/designer.out 2>&1 || true
    grep -q "\"$plugins/designer/libombrix_designer.so\" loaded library" /tmp/designer.out ||
        { echo "check-fresh: Designer did not load the installed plugin" >&2; return 1; }
    echo "check-fresh: Designer loaded $plugins/designer/libombrix_designer.so"
}

inside_headless_checks() {
    local started=$SECONDS
    cd /root/ombrix
    phase() { echo "check-fresh: headless: $* (at $((SECONDS - started)) s)"; }

    phase "bash scripts/setup.sh --headless"
    bash scripts/setup.sh --headless
    no_qt_check
    phase "configure, build and test with -DOMBRIX_BUILD_GUI=OFF"
    cmake -S . -B build/headless -G Ninja -DOMBRIX_BUILD_GUI=OFF -DOMBRIX_WARNINGS_AS_ERRORS=ON
    cmake --build build/headless -j "$(nproc)"
    ctest --test-dir build/headless --output-on-failure -j "$(nproc)"
    phase "cmake --install into a prefix of its own"
    cmake --install build/headless --prefix /opt/ombrix-headless
    /opt/ombrix-headless/bin/mxlookup --version

    phase "bash scripts/package.sh --headless"
    bash scripts/package.sh --headless
    packages_round headless_installed_checks
    phase "done"
}

no_qt_check() {
    local qt
    qt=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" && $2 ~ /qt6/ { print $2 }')
    if [[ -n $qt ]]; then
        echo "check-fresh: the headless root has Qt installed:" $qt >&2
        return 1
    fi
    echo "check-fresh: no Qt package installed"
}

# The installed development package serves both ways of building against it, and brought no Qt.
headless_installed_checks() {
    no_qt_check
    mxlookup --version
    local out=/tmp/headless-consumer
    bash tests/consumer/build_consumer.sh cmake /usr tests/consumer/program "$out/cmake" c++
    bash tests/consumer/build_consumer.sh pkg-config /usr tests/consumer/program "$out/pkg-config" c++
    pkg-config --print-requires ombrix-lookup | grep -qi qt &&
        { echo "check-fresh: ombrix-lookup.pc requires Qt" >&2; return 1; }
    echo "check-fresh: programs built against the installed lookup library"
}

leftovers_check() {
    local left
    left=$(find /usr /etc /var/lib/dpkg/info \( -iname '*ombrix*' -o -path '*component/registry.d/*' \
        -o -name 'component-registry*' -o -name 'mxlookup*' \) -print)
    if [[ -n $left ]]; then
        echo "check-fresh: left after removal:" >&2
        echo "$left" >&2
        return 1
    fi
    echo "check-fresh: nothing of ours is left"
}

if [[ ${1:-} == --inside ]]; then
    inside_checks "${2:-}"
    exit
fi
if [[ ${1:-} == --inside-headless ]]; then
    inside_headless_checks
    exit
fi

cd "$(dirname "$0")/.."
quick=""
checks=(--inside --inside-headless)
case ${1:-} in
    --quick) quick=--quick ;;
    --headless) checks=(--inside-headless) ;;
    "") ;;
    *) echo "usage: bash scripts/check-fresh.sh [--quick | --headless]" >&2; exit 2 ;;
esac
if [[ $(id -u) -ne 0 ]]; then
    echo "check-fresh: run as root (the root is built and entered with chroot)" >&2
    exit 1
fi
command -v mmdebstrap >/dev/null || { echo "check-fresh: mmdebstrap is missing (scripts/setup.sh installs it)" >&2; exit 1; }

mkdir -p build
log=$PWD/build/check-fresh.log
tree=$(mktemp --suffix=.tar)
trap 'rm -f "$tree"' EXIT
git archive --format=tar HEAD >"$tree"

# The machine's own sources, as they are: no host is named here.
sources=()
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [[ -s $file ]] && sources+=("$file")
done

started=$SECONDS
: >"$log"
# Services that packages start would run outside the root, on this machine's network:
# policy-rc.d keeps them stopped, as the tests start their own.
# passwd (useradd) is for the checks' fresh user only.
# The root is entered as its own mount point, in a mount namespace of its own: tests that make
# namespaces need "/" to be a mount, and nothing mounted inside reaches this machine. It starts
# with the bare environment of a fresh login, so that nothing set on this machine (a compiler
# launcher, a build option) leaks into the check. Each check gets a root of its own.
status=0
for check in "${checks[@]}"; do
    mmdebstrap --variant=apt --mode=root --include=passwd bookworm /dev/null "${sources[@]}" \
        --customize-hook='printf "#!/bin/sh\nexit 101\n" >"$1/usr/sbin/policy-rc.d"; chmod 755 "$1/usr/sbin/policy-rc.d"' \
        --customize-hook="mkdir -p \"\$1/root/ombrix\" && tar -x -C \"\$1/root/ombrix\" -f $tree" \
        --customize-hook="unshare -m sh -c 'mount --rbind \"\$1\" \"\$1\" && exec chroot \"\$1\" env -i HOME=/root LANG=C.UTF-8 PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash /root/ombrix/scripts/check-fresh.sh $check $quick' sh \"\$1\"" \
        2>&1 | tee -a "$log"
    status=${PIPESTATUS[0]}
    ((status == 0)) || break
done
echo "check-fresh: $( ((status == 0)) && echo passed || echo FAILED) in $((SECONDS - started)) s" | tee -a "$log"
exit "$status"
