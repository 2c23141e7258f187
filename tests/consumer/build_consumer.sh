#!/usr/bin/env bash
# Builds a consumer program against a staged install, as someone else's project would.
#   build_consumer.sh cmake|pkg-config|pkg-config-widgets STAGE SOURCE OUTPUT COMPILER [ARG...]
# With cmake, the ARGs go to the configure step; with pkg-config-widgets the first is the uic
# program that turns the form into its header. CONSUMER_FLAGS, when set, are compiler flags.
set -euo pipefail
how=$1 stage=$2 source=$3 output=$4 compiler=$5
flags=${CONSUMER_FLAGS:-}
shift 5
extra=("$@")

# Word splitting of the flags is intended in the compiler calls below.
# shellcheck disable=SC2046,SC2086
compile() {
    local program=$1 package=$2
    shift 2
    "$compiler" -std=c++20 $flags -o "$output/$program" "$@" $(pkg-config --cflags --libs "$package")
}

rm -rf "$output"
mkdir -p "$output"
case $how in
    cmake)
        cmake -S "$source" -B "$output" -G Ninja -DCMAKE_PREFIX_PATH="$stage" \
            -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_CXX_FLAGS="$flags" \
            -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
            "${extra[@]}"
        cmake --build "$output"
        ;;
    pkg-config | pkg-config-widgets)
        pc=$(find "$stage" -name ombrix-lookup.pc -print -quit)
        [[ -n $pc ]] || { echo "no ombrix-lookup.pc under $stage" >&2; exit 1; }
        export PKG_CONFIG_PATH=$(dirname "$pc")
        if [[ $how == pkg-config ]]; then
            compile lookup_mx ombrix-lookup "$source/lookup_mx.cpp"
        else
            "${extra[0]}" -o "$output/ui_query_form.h" "$source/query_form.ui"
            compile form_app ombrix-widgets -I"$output" "$source/form_app.cpp"
        fi
        ;;
    *)
        echo "build_consumer.sh: unknown way '$how'" >&2
        exit 2
        ;;
esac
