#!/usr/bin/env bash
# Fails when a file of the lookup library includes a Qt or component-layer header: the library
# is shared by programs that have neither.
set -euo pipefail
dir=${1:?usage: check_includes.sh LOOKUP_DIR}
pattern='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](Q[A-Za-z]*|Qt[A-Za-z]*/[^>"]*|(ombrix/)?component/[^>"]*|control/[^>"]*)[>"]'
if hits=$(grep -rnE "$pattern" "$dir" --include='*.h' --include='*.cpp'); then
    echo "the lookup library must not include Qt, component or control headers:" >&2
    echo "$hits" >&2
    exit 1
fi
echo "no Qt, component or control includes in $dir"
