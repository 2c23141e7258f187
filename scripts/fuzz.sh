#!/usr/bin/env bash
# Fuzzes each target for the given number of seconds (default 60) with libFuzzer, starting
# from the saved corpus. Fails on the first finding; the input that triggered it is left in
# build/fuzz/findings/. New interesting inputs go to build/fuzz/corpus/, not to the saved one.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2; }
declare -A max_len=([fuzz_reply_walk]=2049 [fuzz_address_reply]=2049 [fuzz_tlsa_reply]=2049 [fuzz_txt_reply]=4096 [fuzz_encode_domain]=1024 [fuzz_domain_list]=16384 [fuzz_json_line]=2048)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${!max_len[@]}" -j "$(nproc)"

mkdir -p build/fuzz/findings
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for target in "${!max_len[@]}"; do
    work=build/fuzz/corpus/$target
    mkdir -p "$work"
    echo "fuzz: $target for ${seconds}s"
    # The outer limit only guards against a hang of libFuzzer itself.
    timeout --kill-after=10 $((seconds + 120)) \
        "build/fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="${max_len[$target]}" -artifact_prefix="build/fuzz/findings/$target-" \
        -print_final_stats=1 "$work" "fuzz/corpus/$target"
done
