#include "ombrix/lookup/query_message.h"

#include <array>

namespace ombrix::lookup {

namespace {

constexpr std::uint8_t kFlagsRecursionDesired = 0x01;
constexpr std::uint8_t kFlagsCheckingDisabled = 0x10;
constexpr std::uint8_t kFlagsNone = 0x00;
constexpr std::uint8_t kOptDnssecOk = 0x80;  // high byte of the OPT's flags

constexpr std::uint8_t high(std::uint16_t value) {
    return static_cast<std::uint8_t>(value >> 8);
}

constexpr std::uint8_t low(std::uint16_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

std::vector<std::uint8_t> buildQuery(std::uint16_t id, const WireName& qname, std::uint16_t qtype,
                                     const QueryOptions& options) {
    // Written in four pieces rather than octet by octet: a lone lookup builds its query on
    // the way to the socket.
    const std::uint8_t flags = options.checkingDisabled ? kFlagsCheckingDisabled : kFlagsNone;
    const std::uint8_t additionals = options.edns ? 1 : 0;
    // ID, flags, one question, no answer, no authority, the OPT record or nothing.
    const std::array<std::uint8_t, 12> header = {
        high(id), low(id), kFlagsRecursionDesired, flags, 0, 1, 0, 0, 0, 0, 0, additionals};
    const std::array<std::uint8_t, 4> question = {high(qtype), low(qtype), high(kClassIn),
                                                  low(kClassIn)};
    // Root owner, type, payload size, extended rcode (a query has none), version, flags, no
    // options.
    const std::uint8_t optFlags = options.dnssecOk ? kOptDnssecOk : kFlagsNone;
    constexpr std::uint16_t kPayload = kAdvertisedUdpPayload;
    const std::array<std::uint8_t, 11> opt = {
        0, high(kTypeOpt), low(kTypeOpt), high(kPayload), low(kPayload), 0, 0, optFlags, 0, 0, 0};
    std::vector<std::uint8_t> message;
    message.reserve(header.size() + qname.bytes.size() + question.size() + opt.size());
    message.insert(message.end(), header.begin(), header.end());
    message.insert(message.end(), qname.bytes.begin(), qname.bytes.end());
    message.insert(message.end(), question.begin(), question.end());
    if (options.edns) {
        message.insert(message.end(), opt.begin(), opt.end());
    }
    return message;
}

}  // namespace ombrix::lookup
