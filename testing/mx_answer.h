#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testing/query_view.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace ombrix::testing {

// One MX record of a scripted answer.
struct Mx {
    std::uint16_t preference = 0;
    std::string exchange;
};

// The reply to an MX query that lists these MX records, in this order, for the name asked: the
// query's ID, its question, nothing else. withResponseCode and truncated change it further.
Bytes mxReply(const QueryView& asked, const std::vector<Mx>& records);
Bytes mxReply(const Bytes& query, const std::vector<Mx>& records);

// A script that gives every query the reply mxReply makes.
ScriptedDnsServer::Script answering(std::vector<Mx> records);

}  // namespace ombrix::testing
