#!/usr/bin/env bash
# Builds the consumer program against a staged install, as someone else's project would.
#   build_consumer.sh cmake|pkg-config STAGE SOURCE OUTPUT COMPILER [FLAGS]
set -euo pipefail
how=$1 stage=$2 source=$3 output=$4 compiler=$5 flags=${6:-}

rm -rf "$output"
mkdir -p "$output"
case $how in
    cmake)
        # Asking for the lookup part alone must not look for Qt: it is made unfindable.
        cmake -S "$source" -B "$output" -G Ninja -DCMAKE_PREFIX_PATH="$stage" \
            -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON \
            -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_CXX_FLAGS="$flags" \
            -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
        cmake --build "$output"
        ;;
    pkg-config)
        pc=$(find "$stage" -name ombrix-lookup.pc -print -quit)
        [[ -n $pc ]] || { echo "no ombrix-lookup.pc under $stage" >&2; exit 1; }
        export PKG_CONFIG_PATH=$(dirname "$pc")
        # Word splitting of the flags is intended.
        # shellcheck disable=SC2046,SC2086
        "$compiler" -std=c++20 $flags -o "$output/lookup_mx" "$source/lookup_mx.cpp" \
            $(pkg-config --cflags --libs ombrix-lookup)
        ;;
    *)
        echo "build_consumer.sh: unknown way '$how'" >&2
        exit 2
        ;;
esac
