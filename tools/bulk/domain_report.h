#pragma once

#include <chrono>
#include <string>
#include <vector>

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
    std::vector<TraceEvent> trace;  // only when tracing
};

}  // namespace ombrix::tools
