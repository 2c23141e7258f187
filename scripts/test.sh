#!/usr/bin/env bash
# Runs every test: the normal build, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short bounded fuzzing run of each fuzz target.
# --quick runs the normal build's tests only.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
jobs=$(nproc)

cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"
[[ ${1:-} == --quick ]] && exit 0

cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --preset sanitize -j "$jobs"

if [[ -x scripts/fuzz.sh ]]; then
    bash scripts/fuzz.sh 60
fi
