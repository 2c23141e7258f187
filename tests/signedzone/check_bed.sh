#!/usr/bin/env bash
# Proves the signed-zone bed before anything stands on it: asks the validating and the plain
# resolver about each case with dig (DO bit set, one try of two seconds) and checks the
# response code, the AD bit and the Extended DNS Error codes against what the zones hold.
#
#   check_bed.sh VALIDATOR_RUNDIR PLAIN_RESOLVER_RUNDIR
set -euo pipefail

validator=$(cat "$1/port")
plain=$(cat "$2/port")
failures=0

# What one answer said, as "STATUS ad|no-ad" and " ede CODE..." when it carried any.
ask() {
    local port=$1 name=$2 type=$3 out status ad ede
    shift 3
    out=$(dig @127.0.0.1 -p "$port" +dnssec +time=2 +tries=1 "$@" "$name" "$type") ||
        { echo "dig failed"; return; }
    status=$(sed -n 's/^;; ->>HEADER<<-.* status: \([A-Z]*\),.*/\1/p' <<<"$out")
    ad=no-ad
    grep -Eq '^;; flags:[a-z ]* ad[ ;]' <<<"$out" && ad=ad
    ede=$(sed -n 's/^; EDE: \([0-9]*\).*/\1/p' <<<"$out" | paste -sd' ')
    echo "$status $ad${ede:+ ede $ede}"
}

# expect PATTERN PORT NAME TYPE [DIG OPTION...]: the answer must match the glob PATTERN.
expect() {
    local want=$1 got
    shift
    got=$(ask "$@")
    # shellcheck disable=SC2053 # the pattern is a glob on purpose
    if [[ $got != $want ]]; then
        echo "FAIL: ${*:2} on port $1: wanted '$want', got '$got'" >&2
        failures=$((failures + 1))
    fi
}

s=sec.example
# Signed: validated answers, and validated denials where there is no TLSA.
expect "NOERROR ad" "$validator" "$s" DNSKEY
for name in verified partial alias nullmx elsewhere; do
    expect "NOERROR ad" "$validator" "$name.$s" MX
done
for name in mx1.verified mx2.verified mx1.partial mx.pkix mx.badlength mx.hoster nomx; do
    expect "NOERROR ad" "$validator" "_25._tcp.$name.$s" TLSA
done
expect "NOERROR ad" "$validator" "mail.alias.$s" A
expect "NOERROR ad" "$validator" "nomx.$s" MX
expect "NXDOMAIN ad" "$validator" "_25._tcp.mx.notlsa.$s" TLSA
expect "NXDOMAIN ad" "$validator" "_25._tcp.mx2.partial.$s" TLSA
for name in _mta-sts.verified _smtp._tls.verified _mta-sts.sts-doubled _mta-sts.sts-badid \
    _smtp._tls.rpt-baduri; do
    expect "NOERROR ad" "$validator" "$name.$s" TXT
done
expect "NXDOMAIN ad" "$validator" "_mta-sts.notlsa.$s" TXT

# Below an insecure delegation: answered without AD, the same with checking disabled.
expect "NOERROR no-ad" "$validator" "unsigned.$s" MX
expect "NOERROR no-ad" "$validator" "unsigned.$s" MX +cd
expect "NOERROR no-ad" "$validator" "_25._tcp.mx.unsigned.$s" TLSA

# Bogus: refused with the reason, answered once checking is disabled. Once the validator holds
# the bogus answer in its cache (the security tests ask the same names), it says only "DNSSEC
# Bogus" (6) instead of the first reason.
expect "SERVFAIL no-ad ede [67]" "$validator" "expired.$s" MX
expect "NOERROR no-ad" "$validator" "expired.$s" MX +cd
expect "SERVFAIL no-ad ede [69]" "$validator" "wrongds.$s" MX
expect "NOERROR no-ad" "$validator" "wrongds.$s" MX +cd

# Nothing outside the bed is reached.
expect "SERVFAIL no-ad*" "$validator" example.com A

# The plain resolver answers everything and validates nothing.
expect "NOERROR no-ad" "$plain" "$s" DNSKEY
expect "NOERROR no-ad" "$plain" "verified.$s" MX
expect "NOERROR no-ad" "$plain" "expired.$s" MX

if ((failures > 0)); then
    echo "check_bed: $failures answers differ from the zones" >&2
    exit 1
fi
echo "check_bed: every answer is as the zones say"
