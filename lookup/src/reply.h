#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/query_message.h"

namespace ombrix::lookup {

inline constexpr std::size_t kHeaderOctets = 12;

struct ReplyHeader {
    std::uint16_t id = 0;
    bool response = false;
    std::uint8_t opcode = 0;
    bool truncated = false;
    bool authenticData = false;
    bool checkingDisabled = false;
    std::uint8_t rcode = 0;  // the header's four bits; an OPT record may widen it
    std::uint16_t questions = 0;
    std::uint16_t answers = 0;
    std::uint16_t authorities = 0;
    std::uint16_t additionals = 0;
};

// The header of a message, or nothing when it is shorter than a header.
std::optional<ReplyHeader> readHeader(std::span<const std::uint8_t> message);

// Whether a datagram answers our query: our ID, a response, opcode 0, and exactly one
// question equal to ours (name case-insensitively, the type asked, class IN). Anything else is
// not ours and is dropped by the caller.
bool isReplyTo(std::span<const std::uint8_t> message, std::uint16_t id, const WireName& qname,
               std::uint16_t qtype = kTypeMx);

// readMxReply writing into a result that is still as constructed, where the caller keeps it.
void readMxReplyInto(MxResult& result, std::span<const std::uint8_t> reply, const WireName& qname);

}  // namespace ombrix::lookup
