#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/export.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::lookup {

// What asking for a host's addresses came to.
enum class AddressStatus : std::uint8_t {
    found,           // addresses, under the name asked
    foundViaAlias,   // addresses, at the end of a CNAME chain: an alias used as exchange
    nxdomain,        // the name does not exist
    noAddress,       // the name exists without an address of the type asked
    addressLiteral,  // the name is an address written as a name; nothing is asked
    noReply,         // no reply within the budget
    serverFailure,   // the server answered with a failure code
    malformed,       // the reply broke the rules of the protocol
};

// The addresses of one type for one name, as text.
struct AddressResult {
    AddressStatus status = AddressStatus::noReply;
    std::vector<std::string> addresses;  // in reply order
    std::optional<Fault> fault;          // set exactly when the reply failed or broke a rule
    ReplySignals reply = {};             // what the reply said about itself, as in MxResult
    // How many seconds the answer may be kept: the smallest TTL of the address records, or for
    // an answer without addresses the time its SOA record allows (the smaller of the SOA's
    // TTL and its MINIMUM); 0 when the reply says nothing about it.
    std::uint32_t ttl = 0;
    // The full response code, the OPT's bits included; nothing without a readable reply.
    std::optional<std::uint16_t> rcode = {};
    // Where the CNAME chain from the asked name ended, when there was one.
    std::optional<std::string> canonicalName = {};
};

// Reads an accepted reply to an A (qtype 1) or AAAA (qtype 28) query for qname, strictly, as
// the MX reader reads: records of class IN and the type asked, owned by qname or by the end of
// a CNAME chain that starts at it, give the addresses; one of the wrong length is malformed.
OMBRIX_LOOKUP_API AddressResult readAddressReply(std::span<const std::uint8_t> reply,
                                                 const WireName& qname, std::uint16_t qtype);

// Whether an exchanger's name is an IPv4 or IPv6 address (bracketed or not) rather than a
// host name: such a name is never asked for.
OMBRIX_LOOKUP_API bool isAddressLiteral(std::string_view name);

}  // namespace ombrix::lookup
