#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/reply.h"

namespace ombrix::lookup {

// One query on its way: the message that goes out and what a reply to it must match.
struct PendingQuery {
    std::uint16_t id = 0;
    WireName qname;
    std::vector<std::uint8_t> message;
    std::uint16_t qtype = kTypeMx;

    bool isAnsweredBy(std::span<const std::uint8_t> reply) const {
        return isReplyTo(reply, id, qname, qtype);
    }
};

}  // namespace ombrix::lookup
