#!/usr/bin/env bash
# Starts one DNS server for the real-server tests in RUNDIR with its own configuration, log and
# PID file, on the first free port of BASEPORT, BASEPORT+3, ... (ten tries), and waits until it
# answers. Writes the port to RUNDIR/port and the server's PID to RUNDIR/pid. With
# OMBRIX_SERVER_CPU set, the server and its children run on that CPU only.
#
#   start_server.sh nsd            RUNDIR BASEPORT ZONEDIR
#   start_server.sh unbound        RUNDIR BASEPORT NSD_RUNDIR
#   start_server.sh dnsmasq        RUNDIR BASEPORT DNSMASQ_CONF NSD_RUNDIR
#   start_server.sh signed-nsd     RUNDIR BASEPORT SIGNED_ZONEDIR   (from sign_zones.sh)
#   start_server.sh validator      RUNDIR BASEPORT SIGNED_NSD_RUNDIR
#   start_server.sh plain-resolver RUNDIR BASEPORT SIGNED_NSD_RUNDIR
#
# The validator is an Unbound that validates the signed zones from their parent's trust
# anchor; the plain resolver is the same without validation. Both reach every zone through a
# stub to the authoritative server, the root included, so nothing leaves the loopback. The
# forwarding Unbound sends the root to the authoritative server; dnsmasq answers its own zone
# from its file and sends every other name, the root included, to the authoritative server of
# NSD_RUNDIR.
set -euo pipefail

kind=$1 rundir=$2 baseport=$3 data=$4 upstream_rundir=${5:-}
case $kind in
signed-nsd) daemon=nsd ;;
validator | plain-resolver) daemon=unbound ;;
*) daemon=$kind ;;
esac

fail() {
    echo "start_server: $kind: $*" >&2
    [[ -f $rundir/log ]] && sed 's/^/    /' "$rundir/log" >&2
    exit 1
}

for tool in dig ss "$daemon"; do
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
CONF
    if [[ $kind == signed-nsd ]]; then
        cat "$data/zones.conf" >>"$rundir/nsd.conf"
    else
        printf 'zone:\n    name: %s\n    zonefile: %s.zone\n' \
            mx.example mx.example bulk.example bulk.example >>"$rundir/nsd.conf"
    fi
}

# Writes the Unbound configuration: the common server part, then MODULES and LINES as given.
write_unbound_config() {
    local modules=$2 lines=$3
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
    module-config: "$modules"
    rrset-roundrobin: no
    verbosity: 1
$lines
remote-control:
    control-enable: no
CONF
}

# upstream_port RUNDIR: the port of the authoritative server started in RUNDIR.
upstream_port() {
    cat "$1/port" 2>/dev/null || fail "the authoritative server it asks is not running"
}

# Everything, the root included, goes to the authoritative server.
write_forwarder_config() {
    local upstream
    upstream=$(upstream_port "$data")
    write_unbound_config "$1" iterator "forward-zone:
    name: \".\"
    forward-addr: 127.0.0.1@$upstream"
}

# A stub for every zone the signed server holds and for the root; the validator trusts the
# parent's key and says why it refused an answer.
write_signed_resolver_config() {
    local upstream zones modules=iterator lines="" zone
    upstream=$(upstream_port "$data")
    zones=$(sed -n 's/^ *zonesdir: "\(.*\)"$/\1/p' "$data/nsd.conf")
    if [[ $kind == validator ]]; then
        modules="validator iterator"
        lines="    trust-anchor-file: \"$zones/anchor\"
    ede: yes
    val-log-level: 2"
    fi
    # The root first: nothing the resolver asks may go past the loopback.
    lines+="
stub-zone:
    name: \".\"
    stub-addr: 127.0.0.1@$upstream"
    for zone in $(cat "$zones/zones"); do
        lines+="
stub-zone:
    name: \"$zone\"
    stub-addr: 127.0.0.1@$upstream"
    done
    write_unbound_config "$1" "$modules" "$lines"
}

# Runs the server in the foreground of its own session, with every descriptor on files, so
# that neither the caller's pipes nor its process group hold it.
launch() {
    case $kind in
    nsd | signed-nsd)
        write_nsd_config "$1"
        setsid "${pin[@]}" nsd -d -c "$rundir/nsd.conf" </dev/null >>"$rundir/log" 2>&1 &
        ;;
    unbound | validator | plain-resolver)
        if [[ $kind == unbound ]]; then
            write_forwarder_config "$1"
        else
            write_signed_resolver_config "$1"
        fi
        setsid "${pin[@]}" unbound -d -c "$rundir/unbound.conf" </dev/null >>"$rundir/log" 2>&1 &
        ;;
    dnsmasq)
        # Not the system's resolvers (--no-resolv): every name outside its file, the root
        # included, goes to the local authoritative server.
        [[ -n $upstream_rundir ]] || fail "no authoritative server to send other names to"
        setsid "${pin[@]}" dnsmasq --keep-in-foreground --conf-file="$data" --no-resolv --no-hosts \
            --server="127.0.0.1#$(upstream_port "$upstream_rundir")" \
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
    signed-nsd | validator | plain-resolver) echo verified.sec.example ;;
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
