#!/usr/bin/env bash
# Many domains at the server's pace: mxlookup with a list of 100,000 names against NSD on
# loopback, as JSON lines and as text lines, beside dnsperf asking the same server for the
# same names in the same run. The server runs on one CPU, the clients on the other. Three
# rounds, each of dnsperf, JSON and text; prints a markdown table per round and the best of
# the three: domains per second, the ratio to dnsperf, CPU seconds per 100,000 domains, peak
# memory and lines written.
#
# Environment: BUILD_DIR (default build/release), COUNT (default 100000), ROUNDS (default 3),
# SERVER_CPU (default 0), CLIENT_CPU (default 1), JOBS (build parallelism, default 2),
# DNSPERF_CLIENTS (default 4), DNSPERF_IN_FLIGHT (default 2000), BASELINE (another mxlookup
# binary, e.g. one built from an older commit, run in the same rounds as "baseline json" and
# "baseline text"). Extra arguments go to mxlookup (e.g. --max-in-flight 500).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build/release}
count=${COUNT:-100000}
rounds=${ROUNDS:-3}
server_cpu=${SERVER_CPU:-0}
client_cpu=${CLIENT_CPU:-1}
clients=${DNSPERF_CLIENTS:-4}
in_flight=${DNSPERF_IN_FLIGHT:-2000}

for tool in dnsperf taskset /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "bulk.sh: $tool is missing (scripts/setup.sh)" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target mxlookup -j "${JOBS:-2}" >/dev/null

run=$(realpath -m "$build/bench/bulk")
mkdir -p "$run"
OMBRIX_SERVER_CPU=$server_cpu bash tests/realserver/start_server.sh nsd "$run/nsd" 31600 \
    "$PWD/tests/realserver/zones" >&2
trap 'bash tests/realserver/stop_server.sh "$run/nsd"' EXIT
port=$(cat "$run/nsd/port")

# Every name distinct, all answered by the wildcard MX of one case.
awk -v n="$count" 'BEGIN { for (i = 0; i < n; i++) print "d" i ".several.bulk.example" }' \
    >"$run/names"
awk '{ print $0 " MX" }' "$run/names" >"$run/dnsperf-queries"

# "QPS LOST" of one dnsperf pass over the names.
dnsperf_round() {
    taskset -c "$client_cpu" dnsperf -s 127.0.0.1 -p "$port" -d "$run/dnsperf-queries" -n 1 \
        -c "$clients" -q "$in_flight" -t 5 >"$run/dnsperf.txt" 2>&1
    awk '/Queries per second:/ { q = $4 } /Queries lost:/ { l = $3 } END { print q, l }' \
        "$run/dnsperf.txt"
}

# "RATE CPU_PER_100K MB LINES ANSWERED STATUS" of one mxlookup pass; $1 is json or text, $2
# the binary.
mxlookup_round() {
    local format=$1 binary=$2 status=0 answered
    local args=(-q)
    [[ $format == json ]] && args+=(--json)
    /usr/bin/time -f '%e %U %S %M' -o "$run/time.txt" \
        taskset -c "$client_cpu" "$binary" "${args[@]}" "${@:3}" \
        "@127.0.0.1:$port" -f "$run/names" >"$run/lines.$format" || status=$?
    if [[ $format == json ]]; then
        answered=$(grep -c '"outcome":"mx"' "$run/lines.$format" || true)
    else
        answered=$(grep -c ' mx ' "$run/lines.$format" || true)
    fi
    read -r elapsed user sys max_kb <"$run/time.txt"
    awk -v n="$count" -v e="$elapsed" -v u="$user" -v s="$sys" -v kb="$max_kb" \
        -v lines="$(wc -l <"$run/lines.$format")" -v ok="$answered" -v st="$status" \
        'BEGIN { printf "%.0f %.2f %.1f %d %d %d\n", n / e, (u + s) * 100000 / n, kb / 1024, lines, ok, st }'
}

results=$run/results
: >"$results"
for ((round = 1; round <= rounds; round++)); do
    echo "dnsperf $round $(dnsperf_round)" >>"$results"
    echo "json $round $(mxlookup_round json "$build/tools/mxlookup" "$@")" >>"$results"
    echo "text $round $(mxlookup_round text "$build/tools/mxlookup" "$@")" >>"$results"
    if [[ -n ${BASELINE:-} ]]; then
        echo "baseline-json $round $(mxlookup_round json "$BASELINE" "$@")" >>"$results"
        echo "baseline-text $round $(mxlookup_round text "$BASELINE" "$@")" >>"$results"
    fi
done

awk -v clients="$clients" -v in_flight="$in_flight" -v n="$count" -v baseline="${BASELINE:-}" '
$1 == "dnsperf" { dq[$2] = $3; lost[$2] = $4; if ($3 > best["dnsperf"]) best["dnsperf"] = $3 }
$1 != "dnsperf" { rate[$1, $2] = $3; cpu[$1, $2] = $4; mb[$1, $2] = $5; lines[$1, $2] = $6
                  ok[$1, $2] = $7; st[$1, $2] = $8; if ($3 > best[$1]) best[$1] = $3 }
$2 > rounds { rounds = $2 }
END {
    printf "dnsperf: %d clients (-c %d), %d queries in flight (-q %d); %d domains\n\n", \
        clients, clients, in_flight, in_flight, n
    printf "| round |"; for (r = 1; r <= rounds; r++) printf " %d |", r; printf " best |\n"
    printf "|---|"; for (r = 1; r <= rounds; r++) printf "---:|"; printf "---:|\n"
    printf "| dnsperf queries per second (lost) |"
    for (r = 1; r <= rounds; r++) printf " %d (%s) |", dq[r], lost[r]; printf " %d |\n", best["dnsperf"]
    count = split(baseline ? "json text baseline-json baseline-text" : "json text", formats, " ")
    for (f = 1; f <= count; f++) {
        m = formats[f]
        printf "| %s domains per second |", m
        for (r = 1; r <= rounds; r++) printf " %d |", rate[m, r]; printf " %d |\n", best[m]
        printf "| %s / dnsperf |", m
        for (r = 1; r <= rounds; r++) printf " %.2f |", rate[m, r] / dq[r]
        printf " %.2f |\n", best[m] / best["dnsperf"]
        printf "| %s CPU seconds per 100,000 domains |", m
        for (r = 1; r <= rounds; r++) printf " %.2f |", cpu[m, r]; printf " |\n"
        printf "| %s peak resident memory (MB) |", m
        for (r = 1; r <= rounds; r++) printf " %.1f |", mb[m, r]; printf " |\n"
        printf "| %s lines / answered mx (exit status) |", m
        for (r = 1; r <= rounds; r++) printf " %d / %d (%d) |", lines[m, r], ok[m, r], st[m, r]
        printf " |\n"
    }
}' "$results"
