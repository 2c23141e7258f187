#include "ombrix/lookup/query_message.h"

namespace ombrix::lookup {

namespace {

constexpr std::uint8_t kFlagsRecursionDesired = 0x01;
constexpr std::uint8_t kFlagsCheckingDisabled = 0x10;
constexpr std::uint8_t kFlagsNone = 0x00;
constexpr std::uint8_t kOptDnssecOk = 0x80;  // high byte of the OPT's flags
constexpr std::size_t kHeaderOctets = 12;
// Root owner, type, payload size, extended rcode, version, flags, data length.
constexpr std::size_t kOptOctets = 1 + 2 + 2 + 1 + 1 + 2 + 2;

void putU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void putOpt(std::vector<std::uint8_t>& out, bool dnssecOk) {
    out.push_back(0);  // the root
    putU16(out, kTypeOpt);
    putU16(out, kAdvertisedUdpPayload);
    out.push_back(0);  // extended rcode: a query has none
    out.push_back(0);  // version
    out.push_back(dnssecOk ? kOptDnssecOk : kFlagsNone);
    out.push_back(kFlagsNone);
    putU16(out, 0);  // no options
}

}  // namespace

std::vector<std::uint8_t> buildQuery(std::uint16_t id, const WireName& qname, std::uint16_t qtype,
                                     const QueryOptions& options) {
    std::vector<std::uint8_t> message;
    message.reserve(kHeaderOctets + qname.bytes.size() + 4 + kOptOctets);
    putU16(message, id);
    message.push_back(kFlagsRecursionDesired);
    message.push_back(options.checkingDisabled ? kFlagsCheckingDisabled : kFlagsNone);
    putU16(message, 1);                     // QDCOUNT
    putU16(message, 0);                     // ANCOUNT
    putU16(message, 0);                     // NSCOUNT
    putU16(message, options.edns ? 1 : 0);  // ARCOUNT
    message.insert(message.end(), qname.bytes.begin(), qname.bytes.end());
    putU16(message, qtype);
    putU16(message, kClassIn);
    if (options.edns) {
        putOpt(message, options.dnssecOk);
    }
    return message;
}

}  // namespace ombrix::lookup
