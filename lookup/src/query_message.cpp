#include "ombrix/lookup/query_message.h"

namespace ombrix::lookup {

namespace {

constexpr std::uint8_t kFlagsRecursionDesired = 0x01;
constexpr std::uint8_t kFlagsNone = 0x00;
constexpr std::size_t kHeaderOctets = 12;

void putU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

}  // namespace

std::vector<std::uint8_t> buildQuery(std::uint16_t id, const WireName& qname, std::uint16_t type) {
    std::vector<std::uint8_t> message;
    message.reserve(kHeaderOctets + qname.bytes.size() + 4);
    putU16(message, id);
    message.push_back(kFlagsRecursionDesired);
    message.push_back(kFlagsNone);
    putU16(message, 1);  // QDCOUNT
    putU16(message, 0);  // ANCOUNT
    putU16(message, 0);  // NSCOUNT
    putU16(message, 0);  // ARCOUNT
    message.insert(message.end(), qname.bytes.begin(), qname.bytes.end());
    putU16(message, type);
    putU16(message, kClassIn);
    return message;
}

}  // namespace ombrix::lookup
