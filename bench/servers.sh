#!/usr/bin/env bash
# A list shared by three NSD instances on loopback, one of which stops when half of the lines
# are out: every line must still come, and the lines after the stop should come at two thirds
# of the pace before it at least. Prints a markdown table: lines and outcomes, domains per
# second before and after the stop and their ratio, the time from the stop to the last line,
# and the server summary that mxlookup wrote.
#
# Environment: BUILD_DIR (default build/release), COUNT (default 600000), SERVER_CPU (default
# 0), CLIENT_CPU (default 1), JOBS (build parallelism, default 2), STOP (freeze: the server is
# sent SIGSTOP and stays silent, the harder case; end: it is stopped, and the kernel refuses
# its port; default freeze), TRACE (1: --trace too, and the longest a domain waited from its
# first send). Extra arguments go to mxlookup.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build/release}
count=${COUNT:-600000}
server_cpu=${SERVER_CPU:-0}
client_cpu=${CLIENT_CPU:-1}
stop=${STOP:-freeze}
[[ $stop == freeze || $stop == end ]] || { echo "servers.sh: STOP is freeze or end" >&2; exit 2; }

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target mxlookup -j "${JOBS:-2}" >/dev/null

run=$(realpath -m "$build/bench/servers")
mkdir -p "$run"
# A server and every process below it, so that a frozen one can be woken whole.
family() {
    echo "$1"
    local child
    for child in $(pgrep -P "$1"); do
        family "$child"
    done
}
cleanup() {
    for i in 1 2 3; do
        if [[ -f $run/nsd$i/pid ]]; then
            kill -CONT $(family "$(cat "$run/nsd$i/pid")") 2>/dev/null || true
        fi
        bash tests/realserver/stop_server.sh "$run/nsd$i"
    done
}
trap cleanup EXIT
servers=()
for i in 1 2 3; do
    OMBRIX_SERVER_CPU=$server_cpu bash tests/realserver/start_server.sh nsd "$run/nsd$i" \
        $((31700 + 10 * i)) "$PWD/tests/realserver/zones" >&2
    servers+=("@127.0.0.1:$(cat "$run/nsd$i/port")")
done
victim=$(cat "$run/nsd2/pid")

awk -v n="$count" 'BEGIN { for (i = 0; i < n; i++) print "d" i ".several.bulk.example" }' \
    >"$run/names"
args=(--json)
[[ ${TRACE:-} == 1 ]] && args+=(--trace)

# Lines are counted as they come; the victim stops at half of them.
set +e
taskset -c "$client_cpu" "$build/tools/mxlookup" "${args[@]}" "${servers[@]}" "$@" \
    -f "$run/names" 2>"$run/summary" |
    python3 -c '
import os, signal, subprocess, sys, time
count, victim, mode, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
start, seen, stopped_at, seen_at_stop, last, bulk_done = time.monotonic(), 0, None, 0, None, None
with open(out, "wb") as lines:
    while chunk := sys.stdin.buffer.read1(1 << 16):
        lines.write(chunk)
        seen += chunk.count(b"\n")
        last = time.monotonic()
        if stopped_at is None and seen >= count // 2:
            stopped_at, seen_at_stop = last, seen
            if mode == "freeze":
                # NSD answers from a child process: the whole family goes silent.
                family = [victim]
                for pid in family:
                    with open(f"/proc/{pid}/task/{pid}/children") as children:
                        family += [int(child) for child in children.read().split()]
                for pid in family:
                    os.kill(pid, signal.SIGSTOP)
            else:
                # In the background: the lines must keep flowing while it ends.
                subprocess.Popen(["bash", "tests/realserver/stop_server.sh",
                                  os.path.dirname(out) + "/nsd2"])
        # The bulk of the lines after the stop, without the last few that waited on a try
        # to the stopped server (a probe, or a try sent just before it stopped).
        if stopped_at is not None and bulk_done is None and \
                seen - seen_at_stop >= 0.999 * (count - seen_at_stop):
            bulk_done = last
stopped_at = stopped_at or last
bulk_done = bulk_done or last
print(stopped_at - start, seen_at_stop, last - stopped_at, seen - seen_at_stop,
      bulk_done - stopped_at)
' "$count" "$victim" "$stop" "$run/lines" >"$run/timing"
status=${PIPESTATUS[0]}
set -e

read -r before seen_before after seen_after bulk <"$run/timing"
mx=$(grep -c '"outcome":"mx"' "$run/lines" || true)
unique=$(grep -o '"domain":"[^"]*"' "$run/lines" | sort -u | wc -l)
waited=-
if [[ ${TRACE:-} == 1 ]]; then
    waited=$(grep -o '"at_ms":[0-9.]*' "$run/lines" | cut -d: -f2 | sort -g | tail -1)
fi
awk -v n="$count" -v b="$before" -v sb="$seen_before" -v a="$after" -v sa="$seen_after" \
    -v lines="$(wc -l <"$run/lines")" -v unique="$unique" -v mx="$mx" -v st="$status" \
    -v stop="$stop" -v waited="$waited" -v bulk="$bulk" 'BEGIN {
    printf "three NSD on loopback, %d domains, the second server %s when half the lines were out\n\n",
        n, stop == "freeze" ? "frozen (SIGSTOP: silent)" : "stopped (its port refused)"
    printf "| measure | value |\n|---|---:|\n"
    printf "| lines / distinct domains / mx (exit status) | %d / %d / %d (%d) |\n", lines, unique, mx, st
    printf "| domains per second before the stop | %.0f |\n", sb / b
    printf "| domains per second after the stop, to the last line | %.0f |\n", sa / a
    printf "| after / before | %.2f |\n", (sa / a) / (sb / b)
    printf "| domains per second after the stop, to 99.9%% of the rest | %.0f |\n", 0.999 * sa / bulk
    printf "| that / before | %.2f |\n", (0.999 * sa / bulk) / (sb / b)
    printf "| seconds from the stop to the last line | %.2f |\n", a
    if (waited != "-") printf "| longest wait of a domain from its first send (ms) | %s |\n", waited
}'
echo
grep '^server ' "$run/summary" || true
