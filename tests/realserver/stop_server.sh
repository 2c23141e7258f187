#!/usr/bin/env bash
# Stops the server that start_server.sh started in RUNDIR: exactly the PID it recorded, and
# only while that PID is still the server running on RUNDIR's configuration.
set -euo pipefail

rundir=$1
[[ -f $rundir/pid ]] || exit 0
pid=$(cat "$rundir/pid")
rm -f "$rundir/pid"

ours() {
    [[ -r /proc/$pid/cmdline ]] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF "$rundir"
}

ours || exit 0
kill -TERM "$pid"
for _ in $(seq 50); do
    ours || exit 0
    sleep 0.1
done
echo "stop_server: $pid did not end within 5 s of SIGTERM; killing it" >&2
kill -KILL "$pid"
