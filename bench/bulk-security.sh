#!/usr/bin/env bash
# Mail security in bulk: mxlookup --security with a list of 100,000 names against the
# validating Unbound of the signed-zone bed, with its cache warm (the same list is run once
# before the measured run). Every name is answered by a signed wildcard MX whose exchanger has
# usable TLSA, so each domain costs its full set of questions. The servers run on one CPU, the
# tool on the other. Prints a markdown table: domains per second, queries per domain, CPU
# seconds, peak memory and the verdicts.
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

for tool in taskset /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "bulk-security.sh: $tool is missing (scripts/setup.sh)" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target mxlookup -j "${JOBS:-2}" >/dev/null

run=$(realpath -m "$build/bench/bulk-security")
rm -rf "$run"
mkdir -p "$run/zones"
cp tests/signedzone/zones/*.zone "$run/zones/"
echo '*.bench MX 10 mx1.verified' >>"$run/zones/sec.example.zone"
bash tests/signedzone/sign_zones.sh "$run/zones" "$run/signed" >&2
scripts=tests/realserver
stop() {
    bash $scripts/stop_server.sh "$run/validator" || true
    bash $scripts/stop_server.sh "$run/signed-nsd" || true
}
trap stop EXIT
OMBRIX_SERVER_CPU=$server_cpu bash $scripts/start_server.sh signed-nsd "$run/signed-nsd" 31700 \
    "$run/signed" >&2
OMBRIX_SERVER_CPU=$server_cpu bash $scripts/start_server.sh validator "$run/validator" 31701 \
    "$run/signed-nsd" >&2
port=$(cat "$run/validator/port")

awk -v n="$count" 'BEGIN { for (i = 0; i < n; i++) print "d" i ".bench.sec.example" }' \
    >"$run/names"

ask=(taskset -c "$client_cpu" "$build/tools/mxlookup" --security --json
    --validated-name sec.example "$@" "@127.0.0.1:$port" -f "$run/names")
"${ask[@]}" >/dev/null 2>&1 || true
/usr/bin/time -f '%e %U %S %M' -o "$run/time.txt" "${ask[@]}" >"$run/lines.jsonl" \
    2>"$run/summary.txt" || status=$?
read -r elapsed user sys max_kb <"$run/time.txt"
lines=$(wc -l <"$run/lines.jsonl")
verified=$(grep -c '"dane":"verified"' "$run/lines.jsonl" || true)
queries=$(sed -n 's/.* \([0-9]*\) queries sent.*/\1/p' "$run/summary.txt" | tail -1)

awk -v n="$count" -v e="$elapsed" -v u="$user" -v s="$sys" -v kb="$max_kb" -v lines="$lines" \
    -v ok="$verified" -v q="${queries:-0}" -v st="${status:-0}" 'BEGIN {
    printf "| measure | value |\n|---|---|\n"
    printf "| domains | %d (exit status %d) |\n", n, st
    printf "| lines written / dane verified | %d / %d |\n", lines, ok
    printf "| domains per second (cache warm) | %.0f |\n", n / e
    printf "| queries per domain | %.2f |\n", q / n
    printf "| mxlookup CPU seconds per 100,000 domains | %.2f |\n", (u + s) * 100000 / n
    printf "| mxlookup peak resident memory | %.1f MB |\n", kb / 1024
}'
