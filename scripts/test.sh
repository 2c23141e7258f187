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
# The sanitizer options live in the test preset, so CI and a plain ctest run alike.
ctest --preset sanitize -j "$jobs"

if [[ -x scripts/fuzz.sh ]]; then
    bash scripts/fuzz.sh 60
fi
