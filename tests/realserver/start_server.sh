#!/usr/bin/env bash
# Starts one DNS server for the real-server tests in RUNDIR with its own configuration, log and
# PID file, on the first free port of BASEPORT, BASEPORT+3, ... (ten tries), and waits until it
# answers. Writes the port to RUNDIR/port and the server's PID to RUNDIR/pid. With
# OMBRIX_SERVER_CPU set, the server and its children run on that CPU only.
#
#   start_server.sh nsd     RUNDIR BASEPORT ZONEDIR
#   start_server.sh unbound RUNDIR BASEPORT NSD_RUNDIR
#   start_server.sh dnsmasq RUNDIR BASEPORT DNSMASQ_CONF
set -euo pipefail

kind=$1 rundir=$2 baseport=$3 data=$4

fail() {
    echo "start_server: $kind: $*" >&2
    [[ -f $rundir/log ]] && sed 's/^/    /' "$rundir/log" >&2
    exit 1
}

for tool in dig ss "$kind"; do
    command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin:/sbin command -v "$tool" >/dev/null ||
        fail "$tool is not installed (scripts/setup.sh installs it)"
done
export PATH=$PATH:/usr/sbin:/sbin

pin=()
[[ -n ${OMBRIX_SERVER_CPU:-} ]] && pin=(taskset -c "$OMBRIX_SERVER_CPU")

rm -rf "$rundir"
mkdir -p "$rundir"

port_in_use() {
    [[ -n $(ss -Hlnut "( sport = :$1 )") ]]
}

write_nsd_config() {
    cat >"$rundir/nsd.conf" <<CONF
server:
    ip-address: 127.0.0.1@$1
    do-ip6: no
    username: ""
    chroot: ""
    zonesdir: "$data"
    database: ""
    zonelistfile: "$rundir/zone.list"
    xfrdfile: "$rundir/xfrd.state"
    xfrdir: "$rundir"
    pidfile: "$rundir/nsd.pid"
    logfile: "$rundir/log"
    server-count: 1
    reuseport: no
    rrl-ratelimit: 0
    verbosity: 1
remote-control:
    control-enable: no
zone:
    name: mx.example
    zonefile: mx.example.zone
zone:
    name: bulk.example
    zonefile: bulk.example.zone
CONF
}

write_unbound_config() {
    local upstream
    upstream=$(cat "$data/port") || fail "the authoritative server it forwards to is not running"
    cat >"$rundir/unbound.conf" <<CONF
server:
    interface: 127.0.0.1
    port: $1
    do-ip6: no
    so-reuseport: no
    username: ""
    chroot: ""
    directory: "$rundir"
    pidfile: "$rundir/unbound.pid"
    logfile: "$rundir/log"
    use-syslog: no
    do-daemonize: no
    num-threads: 1
    do-not-query-localhost: no
    module-config: "iterator"
    rrset-roundrobin: no
    verbosity: 1
remote-control:
    control-enable: no
forward-zone:
    name: "."
    forward-addr: 127.0.0.1@$upstream
CONF
}

# Runs the server in the foreground of its own session, with every descriptor on files, so
# that neither the caller's pipes nor its process group hold it.
launch() {
    case $kind in
    nsd)
        write_nsd_config "$1"
        setsid "${pin[@]}" nsd -d -c "$rundir/nsd.conf" </dev/null >>"$rundir/log" 2>&1 &
        ;;
    unbound)
        write_unbound_config "$1"
        setsid "${pin[@]}" unbound -d -c "$rundir/unbound.conf" </dev/null >>"$rundir/log" 2>&1 &
        ;;
    dnsmasq)
        setsid "${pin[@]}" dnsmasq --keep-in-foreground --conf-file="$data" --no-resolv --no-hosts \
            --port="$1" --listen-address=127.0.0.1 --bind-interfaces --user=root \
            --pid-file="$rundir/dnsmasq.pid" --log-facility="$rundir/log" \
            </dev/null >>"$rundir/log" 2>&1 &
        ;;
    *) fail "unknown server kind" ;;
    esac
    echo $!
}

probe_name() {
    case $kind in
    dnsmasq) echo five.dm.example ;;
    *) echo five.mx.example ;;
    esac
}

# Up to 10 s: the server answers, or it has died.
wait_until_answering() {
    local pid=$1 port=$2 deadline=$((SECONDS + 10))
    while ((SECONDS < deadline)); do
        kill -0 "$pid" 2>/dev/null || return 1
        if dig @127.0.0.1 -p "$port" +time=1 +tries=1 +short MX "$(probe_name)" 2>/dev/null |
            grep -q .; then
            return 0
        fi
        sleep 0.1
    done
    kill "$pid"
    fail "started on port $port but did not answer within 10 s"
}

for attempt in $(seq 0 9); do
    port=$((baseport + 3 * attempt))
    port_in_use "$port" && continue
    pid=$(launch "$port")
    if wait_until_answering "$pid" "$port"; then
        echo "$port" >"$rundir/port"
        echo "$pid" >"$rundir/pid"
        echo "start_server: $kind answers on 127.0.0.1:$port (pid $pid)"
        exit 0
    fi
    # It died: most likely another process took the port first. Try the next one.
    sleep 0.1
done
fail "could not start on any of ten ports from $baseport"
