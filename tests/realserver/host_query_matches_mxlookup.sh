#!/usr/bin/env bash
# host_query (the C++ host example, through the control) prints what mxlookup prints for the
# same domain from the same server: standard output, standard error and exit status.
#   host_query_matches_mxlookup.sh HOST_QUERY MXLOOKUP REGISTRY_TOOL CONTROL_LIBRARY
# The server is the one the fixture started, named in $OMBRIX_SERVER_RUNDIR/port.
set -uo pipefail
host_query=$1 mxlookup=$2 registry_tool=$3 control=$4
port=$(cat "${OMBRIX_SERVER_RUNDIR:?run through ctest}/port") || exit 1
server=127.0.0.1:$port

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A store of this test's own, and no system drop-ins.
export COMPONENT_REGISTRY=$work/registry XDG_DATA_DIRS=$work/no-system-data
ASAN_OPTIONS=detect_leaks=0 "$registry_tool" register "$control" >/dev/null || exit 1

# Exchangers in and out of the zone, an alias, no MX, a null MX, unsigned preferences,
# escapes, an internationalised name in both forms, a reply only TCP carries, a missing
# name, and a domain refused before any query.
domains=(five.mx.example outside.mx.example alias.mx.example nodata.mx.example
         nullmx.mx.example extremes.mx.example escaped.mx.example xn--bcher-kva.mx.example
         bücher.mx.example many.mx.example missing.mx.example bad..mx.example)
failures=0
for domain in "${domains[@]}"; do
    timeout 30 "$host_query" "$server" "$domain" >"$work/host.out" 2>"$work/host.err"
    host_status=$?
    timeout 30 "$mxlookup" "@$server" "$domain" >"$work/tool.out" 2>"$work/tool.err"
    tool_status=$?
    if [[ $host_status != "$tool_status" ]] || ! cmp -s "$work/host.out" "$work/tool.out" ||
        ! cmp -s "$work/host.err" "$work/tool.err"; then
        echo "$domain: host_query ($host_status) and mxlookup ($tool_status) differ:"
        diff "$work/host.out" "$work/tool.out"
        diff "$work/host.err" "$work/tool.err"
        failures=$((failures + 1))
    fi
done
echo "${#domains[@]} domains, $failures differing"
[[ $failures == 0 ]]
