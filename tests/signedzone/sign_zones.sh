#!/usr/bin/env bash
# Makes fresh keys and signs the test zones of ZONEDIR into OUTDIR, with ldns-keygen and
# ldns-signzone: each signed zone gets one ECDSA P-256 key that signs everything. The
# children are signed first, so that the parent carries their DS records; the parent's DS is
# the validator's trust anchor. Writes to OUTDIR:
#   *.zone      the zones to serve (the unsigned one as it is)
#   zones.conf  their NSD zone entries
#   zones       their names, one a line, parent first
#   anchor      the trust anchor, a DS record
#
#   sign_zones.sh ZONEDIR OUTDIR
set -euo pipefail

src=$1 out=$2
parent=sec.example

for tool in ldns-keygen ldns-signzone; do
    command -v "$tool" >/dev/null || {
        echo "sign_zones: $tool is not installed (scripts/setup.sh installs ldnsutils)" >&2
        exit 1
    }
done

rm -rf "$out"
mkdir -p "$out/keys"
cd "$out/keys"

# Prints the base name of a new key for the zone.
new_key() {
    ldns-keygen -a ECDSAP256SHA256 -k "$1"
}

# Signs ZONE from FILE with KEY into OUTDIR; more arguments go to ldns-signzone.
sign() {
    local zone=$1 file=$2 key=$3
    shift 3
    ldns-signzone "$@" -o "$zone." -f "$out/$zone.zone" "$file" "$key"
}

cp "$src/$parent.zone" "$out/$parent.unsigned"
add_ds() {
    cat "$1.ds" >>"$out/$parent.unsigned"
}

cp "$src/unsigned.$parent.zone" "$out/"

key=$(new_key "hoster.$parent")
sign "hoster.$parent" "$src/hoster.$parent.zone" "$key"
add_ds "$key"

key=$(new_key "expired.$parent")
sign "expired.$parent" "$src/expired.$parent.zone" "$key" -i 20200101000000 -e 20200201000000
add_ds "$key"

key=$(new_key "wrongds.$parent")
sign "wrongds.$parent" "$src/wrongds.$parent.zone" "$key"
add_ds "$(new_key "wrongds.$parent")"

key=$(new_key "$parent")
sign "$parent" "$out/$parent.unsigned" "$key"
cp "$key.ds" "$out/anchor"
rm "$out/$parent.unsigned"

zones=("$parent" "hoster.$parent" "expired.$parent" "wrongds.$parent" "unsigned.$parent")
printf '%s\n' "${zones[@]}" >"$out/zones"
for zone in "${zones[@]}"; do
    printf 'zone:\n    name: %s\n    zonefile: %s.zone\n' "$zone" "$zone"
done >"$out/zones.conf"
echo "sign_zones: signed ${#zones[@]} zones into $out"
