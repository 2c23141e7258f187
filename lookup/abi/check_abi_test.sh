#!/usr/bin/env bash
# The ABI check's verdicts on a library of two versions: a function whose signature changed
# under the same soname fails the check; the same change under a new soname passes; a function
# added beside the old ones passes.
#   check_abi_test.sh COMPILER
set -euo pipefail
compiler=${1:?usage: check_abi_test.sh COMPILER}
check=$(dirname "$0")/check_abi.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/include"
echo 'int scaled(int value);' >"$work/include/scaled.h"

# build NAME SONAME SOURCE
build() {
    printf '%s\n' "$3" >"$work/$1.cpp"
    "$compiler" -shared -fPIC -g -o "$work/$1.so" -Wl,-soname,"$2" "$work/$1.cpp"
}
# expect pass|fail NAME: what the check says of library NAME against the first version
expect() {
    local status=0
    bash "$check" "$work/base.abi" "$work/$2.so" "$work/include" >"$work/$2.out" 2>&1 || status=$?
    if [[ $1 == pass && $status -ne 0 ]] || [[ $1 == fail && $status -eq 0 ]]; then
        cat "$work/$2.out"
        echo "check_abi_test: expected the check to $1 for $2" >&2
        exit 1
    fi
}

# The first version exports the standard library's vector<int> helpers as weak symbols, as a
# library does that uses containers inside; a version without them still keeps its interface.
build base libscaled.so.1 '#include <vector>
int scaled(int value) { std::vector<int> values; values.push_back(value); return 2 * values.back(); }'
abidw --no-corpus-path --no-show-locs --headers-dir "$work/include" --out-file "$work/base.abi" \
    "$work/base.so"

build same libscaled.so.1 'int scaled(int value) { return 3 * value; }'
expect pass same
build added libscaled.so.1 'int scaled(int value) { return 2 * value; } int twice(int value) { return 2 * value; }'
expect pass added
build retyped libscaled.so.1 'long scaled(long value) { return 2 * value; }'
expect fail retyped
build renamed_soname libscaled.so.2 'long scaled(long value) { return 2 * value; }'
expect pass renamed_soname
echo "check_abi_test: every verdict as expected"
