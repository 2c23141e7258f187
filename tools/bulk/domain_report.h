#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/address_reply.h"
#include "ombrix/lookup/mail_security.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::tools {

using TraceEvent = lookup::TraceEvent;

// What one input domain came to: the line of output it gets.
struct DomainReport {
    std::string domain;  // as the input gave it
    lookup::MxResult result;
    // When addresses were asked: one per exchanger, in the same order; their addresses are in
    // the exchangers' ipv4 and ipv6.
    std::vector<lookup::AddressStatus> addressStatus;
    std::vector<TraceEvent> trace;  // only when tracing
    // Ended without a try because every server had been set aside too long: worth asking again.
    bool serversAside = false;
    // With --security: what was found out besides the MX answer, which is in result.
    std::optional<lookup::MailSecurity> security;
};

}  // namespace ombrix::tools
