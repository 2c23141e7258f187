#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "ombrix/lookup/address_reply.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::tools {

// One thing that happened on the wire for a domain, timed from its first send.
struct TraceEvent {
    std::chrono::microseconds at{0};
    std::string what;
};

// What one input domain came to: the line of output it gets.
struct DomainReport {
    std::string domain;  // as the input gave it
    lookup::MxResult result;
    // When addresses were asked: one per exchanger, in the same order; their addresses are in
    // the exchangers' ipv4 and ipv6.
    std::vector<lookup::AddressStatus> addressStatus;
    std::vector<TraceEvent> trace;  // only when tracing
};

}  // namespace ombrix::tools
