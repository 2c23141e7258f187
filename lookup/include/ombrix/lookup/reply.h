#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/error.h"
#include "ombrix/lookup/mx_store.h"

namespace ombrix::lookup {

struct ReplyHeader {
    std::uint16_t id = 0;
    bool response = false;
    std::uint8_t opcode = 0;
    bool truncated = false;
    std::uint8_t rcode = 0;
    std::uint16_t questions = 0;
    std::uint16_t answers = 0;
    std::uint16_t authorities = 0;
    std::uint16_t additionals = 0;
};

// The header of a message, or nothing when it is shorter than a header.
std::optional<ReplyHeader> readHeader(std::span<const std::uint8_t> message);

// Whether a datagram answers our query: our ID, a response, opcode 0, and exactly one
// question equal to ours (name case-insensitively, type MX, class IN). Anything else is
// not ours and is dropped by the caller.
bool isReplyTo(std::span<const std::uint8_t> message, std::uint16_t id, const WireName& qname);

// Walks the answer section of an accepted reply into the store: the store is reset, every MX
// answer of class IN owned by qname or by the end of a CNAME chain starting at it is added in
// reply order, then the list is ordered. Returns the number of exchangers stored. A malformed
// reply fails with a numbered error and leaves the entries added before the fault, unordered.
Expected<std::size_t> walkAnswers(std::span<const std::uint8_t> message, const WireName& qname,
                                  MxStore& store);

}  // namespace ombrix::lookup
