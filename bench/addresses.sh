#!/usr/bin/env bash
# Exchangers shared by many domains, as a real list has them: 40 in 100 domains are hosted by
# one of twenty providers whose exchangers live in another zone (so their addresses take
# queries of their own), the rest answer with their addresses in the MX reply. mxlookup
# --json --addresses against NSD on loopback, and the same list without --addresses: lines,
# address queries asked and per domain, what the cache saved, peak memory, pace.
#
# Environment: BUILD_DIR (default build/release), COUNT (default 1000000), SERVER_CPU
# (default 0), CLIENT_CPU (default 1), JOBS (build parallelism, default 2). Extra arguments
# go to mxlookup.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build/release}
count=${COUNT:-1000000}
server_cpu=${SERVER_CPU:-0}
client_cpu=${CLIENT_CPU:-1}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target mxlookup -j "${JOBS:-2}" >/dev/null

run=$(realpath -m "$build/bench/addresses")
mkdir -p "$run"
OMBRIX_SERVER_CPU=$server_cpu bash tests/realserver/start_server.sh nsd "$run/nsd" 31800 \
    "$PWD/tests/realserver/zones" >&2
trap 'bash tests/realserver/stop_server.sh "$run/nsd"' EXIT
port=$(cat "$run/nsd/port")

awk -v n="$count" 'BEGIN {
    for (i = 0; i < n; i++) {
        if (i % 5 < 2) printf "d%d.p%02d.bulk.example\n", i, hosted++ % 20 + 1
        else print "d" i ".several.bulk.example"
    }
}' >"$run/names"

# "SECONDS MB LINES WITH_ADDRESSES STATUS" of one pass, the summary kept in $run/summary.$1.
pass() {
    local name=$1 status=0
    /usr/bin/time -f '%e %M' -o "$run/time.txt" taskset -c "$client_cpu" \
        "$build/tools/mxlookup" --json "${@:2}" "@127.0.0.1:$port" -f "$run/names" \
        >"$run/lines" 2>"$run/summary.$name" || status=$?
    read -r seconds kb <"$run/time.txt"
    echo "$seconds $((kb / 1024)) $(wc -l <"$run/lines") $(grep -c '"ipv4":\["192' "$run/lines" || true) $status"
}

read -r s_plain mb_plain lines_plain _ st_plain <<<"$(pass plain "$@")"
read -r s_addr mb_addr lines_addr with_addr st_addr <<<"$(pass addresses --addresses "$@")"
asked=$(sed -n 's/^addresses: \([0-9]*\) lookups\{0,1\} asked.*/\1/p' "$run/summary.addresses")
saved=$(sed -n 's/.* asked, \([0-9]*\) saved by the cache/\1/p' "$run/summary.addresses")

awk -v n="$count" -v sp="$s_plain" -v mp="$mb_plain" -v lp="$lines_plain" -v stp="$st_plain" \
    -v sa="$s_addr" -v ma="$mb_addr" -v la="$lines_addr" -v wa="$with_addr" -v sta="$st_addr" \
    -v asked="${asked:-0}" -v saved="${saved:-0}" 'BEGIN {
    printf "%d domains, 40 in 100 hosted by twenty providers (40 address queries at the least)\n\n", n
    printf "| measure | without --addresses | with --addresses |\n|---|---:|---:|\n"
    printf "| lines (exit status) | %d (%d) | %d (%d) |\n", lp, stp, la, sta
    printf "| lines with addresses | - | %d |\n", wa
    printf "| address queries asked / saved by the cache | - | %d / %d |\n", asked, saved
    printf "| address queries per domain | - | %.6f |\n", asked / n
    printf "| domains per second | %.0f | %.0f |\n", n / sp, n / sa
    printf "| peak resident memory (MB) | %d | %d |\n", mp, ma
}'
