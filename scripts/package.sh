#!/usr/bin/env bash
# Builds the Debian packages from the committed tree's sources and checks each with lintian.
# The .deb files are left in build/packages (named on the last line of output).
# Only the libraries and programs are built: no tests, benchmarks or fuzzers.
#   --headless   the headless build's packages only: the lookup library and mxlookup
set -euo pipefail
cd "$(dirname "$0")/.."

case ${1:-} in
    --headless) gui=OFF setup=(--headless) ;;
    "") gui=ON setup=() ;;
    *) echo "usage: bash scripts/package.sh [--headless]" >&2; exit 2 ;;
esac
bash scripts/setup.sh "${setup[@]}"
build=build/package
out=$PWD/build/packages

cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_INSTALL_PREFIX=/usr \
    -DOMBRIX_BUILD_GUI=$gui \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

rm -rf "$out"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out/cpack" >/dev/null)
mv "$out"/cpack/*.deb "$out"/
rm -rf "$out/cpack"

status=0
for deb in "$out"/*.deb; do
    # Errors fail the script; warnings are shown for the record.
    lintian --fail-on error --tag-display-limit 0 "$deb" || status=1
done
((status == 0)) || { echo "package: lintian reports errors" >&2; exit 1; }
echo "package: the packages are in $out"
