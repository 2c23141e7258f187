#pragma once

#include <string_view>

#include "ombrix/lookup/address_reply.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::tools {

// The outcome as the tool's output names it: "mx", "null_mx", "no_mx", "nxdomain",
// "server_failure", "timeout", "malformed" or "invalid". MX records beside a null MX still
// name exchangers to try, so they read "mx".
std::string_view outcomeName(lookup::Outcome outcome);

// An exchanger's address status as the tool's output names it: "ok", "cname", "nxdomain",
// "no_address", "ip_literal", "timeout", "server_failure" or "malformed".
std::string_view addressStatusName(lookup::AddressStatus status);

// Whether the server gave an answer that settles where the domain's mail goes.
bool isAnswer(lookup::Outcome outcome);

}  // namespace ombrix::tools
