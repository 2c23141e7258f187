#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/reply_signals.h"

namespace ombrix::lookup {

// What one MX lookup came to.
enum class Outcome : std::uint8_t {
    exchangers,     // one or more mail exchangers
    nullMx,         // the domain takes no mail: its only MX is "0 ." (RFC 7505)
    nullMxMixed,    // a null MX beside other MX records: the zone contradicts itself
    noMx,           // the name exists without MX; its own address is the exchanger (RFC 5321 5.1)
    nxdomain,       // the name does not exist
    serverFailure,  // the server answered with a failure code (SERVFAIL, REFUSED, ...)
    noReply,        // no reply within the budget, or the server could not be reached
    malformed,      // the reply broke the rules of the protocol
    invalidDomain,  // the domain is not a valid DNS name; nothing was sent
};

// Whether asking again later may give another answer, as a mail server answers 4xx.
constexpr bool isTemporary(Outcome outcome) {
    return outcome == Outcome::serverFailure || outcome == Outcome::noReply ||
           outcome == Outcome::malformed;
}

// Why a lookup failed, for people: the kind decides how a host reports it, the description
// says what happened and where.
struct Fault {
    enum class Kind : std::uint8_t {
        invalidDomain,  // the domain was refused before anything was sent
        badServer,      // the server setting is not an address or cannot be resolved
        sendFailed,     // the query could not be sent
        noReply,        // nothing answered within the budget, or the server refused
        serverFailure,  // a failure response code
        cutShort,       // the reply ends before its own counts and lengths say
        malformed,      // any other broken rule of the reply
    };
    Kind kind = Kind::noReply;
    std::string description;

    friend bool operator==(const Fault&, const Fault&) = default;
};

// One mail exchanger as the reply gave it.
struct Exchanger {
    std::uint16_t preference = 0;
    // Presentation form without the final dot; "\DDD", "\." and "\\" escape what is not
    // plain printable ASCII, so the text is always valid UTF-8.
    std::string name;
    std::uint32_t ttl = 0;
    // Addresses of the exchanger that the server put in the additional section, as text.
    std::vector<std::string> ipv4;
    std::vector<std::string> ipv6;

    friend bool operator==(const Exchanger&, const Exchanger&) = default;
};

enum class Transport : std::uint8_t { udp, tcp };

// One thing that happened on the wire for a lookup, timed from its first send.
struct TraceEvent {
    std::chrono::microseconds at{0};
    std::string what;
};

// What happened on the wire for the reply that was used.
struct WireReport {
    std::string server;  // the endpoint asked, "192.0.2.1:53" or "[2001:db8::1]:53"
    Transport transport = Transport::udp;
    bool truncated = false;  // TCP was used because the UDP reply was truncated or too long
    int tries = 0;           // queries sent, over both transports
    std::chrono::microseconds roundTrip{0};  // of the accepted reply's exchange
    std::size_t replyOctets = 0;
    std::size_t dropped = 0;  // datagrams or messages heard that did not answer the query
    bool edns = false;        // the accepted reply answered a query that carried an OPT record
    std::vector<TraceEvent> trace;  // only when the lookup asked for it
};

// Everything one MX lookup found out.
struct MxResult {
    Outcome outcome = Outcome::noReply;
    // The name asked, in A-labels without the final dot; empty when the domain was refused.
    std::string query;
    // The response code in the accepted reply's header; nothing when there was none. An OPT
    // record may widen it: reply.edns holds the full code.
    std::optional<std::uint8_t> rcode;
    // In preference order, reply order kept among equal preferences. The null MX is not
    // listed.
    std::vector<Exchanger> exchangers;
    // Where the CNAME chain from the asked name ended, when there was one.
    std::optional<std::string> canonicalName;
    // What the accepted reply said about itself (AD bit, OPT record, Extended DNS Errors), also
    // when its response code was a failure; its OPT is left out when the reply was malformed.
    ReplySignals reply;
    WireReport wire;
    // Set exactly when the outcome is a failure.
    std::optional<Fault> fault;

    bool temporary() const { return isTemporary(outcome); }
};

}  // namespace ombrix::lookup
