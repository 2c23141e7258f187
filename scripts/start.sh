#!/usr/bin/env bash
# Installs what is needed, builds, and runs one lookup with the command-line tool.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
exec build/default/tools/mxlookup "$@"
