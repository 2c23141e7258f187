# Reads the benchmark's CSV results and prints the ratios of medians: processor time for the
# walks, which touch nothing but memory, and wall-clock time for the lookups, which wait for
# the server.
BEGIN { FS = "," }

$1 == "name" {
    for (i = 1; i <= NF; i++) column[$i] = i
}

$1 ~ /_median"$/ {
    name = $1
    gsub(/"/, "", name)
    sub(/_median$/, "", name)
    ns[name] = name ~ /^walk\// ? $4 : $3
    if ("label" in column) label[name] = $(column["label"])
}

function row(what, ours, peer, ratio, target, met) {
    printf "| %s | %.0f | %.0f | %.2f | %s | %s |\n", what, ns[ours], ns[peer], ratio, target,
           met ? "yes" : "**no**"
}

# How many times faster ours is than the peer.
function faster(what, ours, peer, least,    ratio) {
    if (!(ours in ns) || !(peer in ns)) return
    ratio = ns[peer] / ns[ours]
    row(what, ours, peer, ratio, sprintf("≥ %.2f", least), ratio >= least)
}

# How many times faster ours is than the peer, where no target is set.
function compare(what, ours, peer) {
    if (!(ours in ns) || !(peer in ns)) return
    printf "| %s | %.0f | %.0f | %.2f | - | - |\n", what, ns[ours], ns[peer], ns[peer] / ns[ours]
}

# How much of the floor's time ours takes, where no target is set.
function cost(what, ours, floor) {
    if (!(ours in ns) || !(floor in ns)) return
    printf "| %s | %.0f | %.0f | %.2f | - | - |\n", what, ns[ours], ns[floor], ns[ours] / ns[floor]
}

# How much of the floor's time ours takes.
function within(what, ours, floor, most,    ratio) {
    if (!(ours in ns) || !(floor in ns)) return
    ratio = ns[ours] / ns[floor]
    row(what, ours, floor, ratio, sprintf("≤ %.2f", most), ratio <= most)
}

END {
    print "| comparison | ours (ns) | peer (ns) | ratio | target | met |"
    print "|---|---:|---:|---:|---|---|"
    split("five outside forty_tcp", replies, " ")
    for (i = 1; i <= 3; i++) {
        r = replies[i]
        faster("walk " r ": libresolv / ours", "walk/ours/" r, "walk/libresolv/" r, 1)
        compare("walk " r ": c-ares / ours", "walk/ours/" r, "walk/c-ares/" r)
        compare("walk " r ": libresolv into the same result / ours", "walk/ours/" r,
                "walk/libresolv_typed/" r)
    }
    cost("lookup: ours / raw round trip", "lookup/ours", "lookup/raw")
    within("lookup: ours / raw round trip on a fresh socket", "lookup/ours",
           "lookup/raw_fresh_socket", 1.15)
    cost("lookup: raw round trip on a fresh socket and our walk / the same without the walk",
         "lookup/raw_fresh_socket_and_walk", "lookup/raw_fresh_socket")
    cost("lookup: ours / raw round trip on a fresh socket and our walk", "lookup/ours",
         "lookup/raw_fresh_socket_and_walk")
    compare("lookup: c-ares / ours", "lookup/ours", "lookup/c-ares")
    compare("lookup: res_nquery / ours", "lookup/ours", "lookup/res_nquery")
    if ("lookup/ours_forty" in ns) {
        how = label["lookup/ours_forty"]
        gsub(/"/, "", how)
        printf "| lookup of forty exchangers (906 octets), %s | %.0f | - | - | - | - |\n", how,
               ns["lookup/ours_forty"]
    }
}
