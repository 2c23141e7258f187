#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "control/core/domain_name.h"
#include "control/core/reply.h"

namespace ombrix::core {

// One query on its way: the message that goes out and what a reply to it must match.
struct PendingQuery {
    std::uint16_t id = 0;
    WireName qname;
    std::vector<std::uint8_t> message;

    bool isAnsweredBy(std::span<const std::uint8_t> reply) const {
        return isReplyTo(reply, id, qname);
    }
};

}  // namespace ombrix::core
