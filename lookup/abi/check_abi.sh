#!/usr/bin/env bash
# Compares a built lookup library with the ABI baseline checked in beside this script and fails
# when an exported function or type changed incompatibly while the soname stayed the same.
# Compatible additions pass, with a note to record them in the baseline.
#   check_abi.sh BASELINE LIBRARY PUBLIC_HEADERS_DIR
set -euo pipefail
baseline=${1:?usage: check_abi.sh BASELINE LIBRARY PUBLIC_HEADERS_DIR}
library=${2:?usage: check_abi.sh BASELINE LIBRARY PUBLIC_HEADERS_DIR}
headers=${3:?usage: check_abi.sh BASELINE LIBRARY PUBLIC_HEADERS_DIR}
regenerate="cmake --build --preset default --target lookup_abi_baseline"

report=$(mktemp)
trap 'rm -f "$report"' EXIT
status=0
abidiff --no-show-locs --suppressions "$(dirname "$0")/std_instantiations.suppr" \
    --headers-dir2 "$headers" "$baseline" "$library" >"$report" || status=$?

# abidiff's status is a set of bits: 1 an error, 2 bad usage, 4 some change, 8 an incompatible one.
if ((status & 3)); then
    cat "$report" >&2
    echo "check_abi: abidiff could not compare $library with $baseline" >&2
    exit 1
fi
old_soname=$(sed -n "s/.*<abi-corpus [^>]*soname='\([^']*\)'.*/\1/p" "$baseline" | head -n 1)
new_soname=$(objdump -p "$library" | awk '$1 == "SONAME" { print $2 }')
if ((status & 8)); then
    cat "$report" >&2
    if [[ $old_soname == "$new_soname" ]]; then
        echo "check_abi: incompatible change under the same soname $new_soname: raise the major" \
             "of OMBRIX_LOOKUP_ABI_VERSION (lookup/CMakeLists.txt) or keep the old interface" >&2
        exit 1
    fi
    echo "check_abi: incompatible change, soname $old_soname -> $new_soname; record it: $regenerate"
elif ((status & 4)); then
    cat "$report"
    echo "check_abi: compatible change; record it in the baseline: $regenerate"
else
    echo "check_abi: $new_soname matches the baseline"
fi
