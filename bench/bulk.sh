#!/usr/bin/env bash
# Many domains at the server's pace: mxlookup with a list of 100,000 names against NSD on
# loopback, beside dnsperf asking the same server for the same names in the same run. The
# server runs on one CPU, the clients on the other. Prints a markdown table: domains per
# second, CPU seconds per 100,000 domains, peak memory, lines written, and dnsperf's rate.
#
# Environment: BUILD_DIR (default build/release), COUNT (default 100000), SERVER_CPU
# (default 0), CLIENT_CPU (default 1), JOBS (build parallelism, default 2). Extra arguments go
# to mxlookup (e.g. --max-in-flight 500).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build/release}
count=${COUNT:-100000}
server_cpu=${SERVER_CPU:-0}
client_cpu=${CLIENT_CPU:-1}

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

taskset -c "$client_cpu" dnsperf -s 127.0.0.1 -p "$port" -d "$run/dnsperf-queries" -n 1 \
    -q 500 -t 5 >"$run/dnsperf.txt" 2>&1
dnsperf_qps=$(awk '/Queries per second:/ { print $4 }' "$run/dnsperf.txt")
dnsperf_lost=$(awk '/Queries lost:/ { print $3 }' "$run/dnsperf.txt")

/usr/bin/time -f '%e %U %S %M' -o "$run/time.txt" \
    taskset -c "$client_cpu" "$build/tools/mxlookup" --json -q "$@" "@127.0.0.1:$port" \
    -f "$run/names" >"$run/lines.jsonl" || status=$?
read -r elapsed user sys max_kb <"$run/time.txt"
lines=$(wc -l <"$run/lines.jsonl")
answered=$(grep -c '"outcome":"mx"' "$run/lines.jsonl" || true)

awk -v n="$count" -v e="$elapsed" -v u="$user" -v s="$sys" -v kb="$max_kb" -v lines="$lines" \
    -v ok="$answered" -v dq="$dnsperf_qps" -v dl="$dnsperf_lost" -v st="${status:-0}" 'BEGIN {
    rate = n / e
    printf "| measure | value |\n|---|---|\n"
    printf "| domains | %d (exit status %d) |\n", n, st
    printf "| lines written / answered mx | %d / %d |\n", lines, ok
    printf "| mxlookup domains per second | %.0f |\n", rate
    printf "| dnsperf queries per second (500 in flight) | %.0f (lost %s) |\n", dq, dl
    printf "| mxlookup / dnsperf | %.0f%% |\n", 100 * rate / dq
    printf "| mxlookup CPU seconds per 100,000 domains | %.2f |\n", (u + s) * 100000 / n
    printf "| mxlookup peak resident memory | %.1f MB |\n", kb / 1024
}'
