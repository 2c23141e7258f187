#!/usr/bin/env bash
# Measures our lookup against its peers and prints the ratios as a markdown table: the reply
# walk on the same bytes, and one whole lookup against the same loopback authoritative server,
# which this script starts and stops itself. Client and server share one CPU, and the
# benchmarks' repetitions are interleaved so that peers meet the same conditions.
#
# Environment: BUILD_DIR (default build/release), BENCH_CPU (default 0), REPETITIONS
# (default 10), JOBS (build parallelism, default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build/release}
cpu=${BENCH_CPU:-0}
repetitions=${REPETITIONS:-10}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOMBRIX_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target bench_peers -j "${JOBS:-2}" >/dev/null

run=$build/bench/peers/run
mkdir -p "$run"
OMBRIX_SERVER_CPU=$cpu bash tests/realserver/start_server.sh nsd "$PWD/$run/nsd" 31500 \
    "$PWD/tests/realserver/zones" >&2
trap 'bash tests/realserver/stop_server.sh "$PWD/$run/nsd"' EXIT

OMBRIX_BENCH_SERVER=127.0.0.1:$(cat "$run/nsd/port") \
    taskset -c "$cpu" "$build/bench/peers/bench_peers" \
    --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="$run/results.csv" --benchmark_out_format=csv >&2

awk -f bench/peers/ratios.awk "$run/results.csv"
