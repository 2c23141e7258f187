#pragma once

#include <string_view>

#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/query_timing.h"
#include "ombrix/lookup/server_address.h"

namespace ombrix::lookup {

// A server setting made into the address queries go to, and how: from an address written in
// the setting, which always stands for the same one, or by looking a host name up, which may
// give another address later.
struct ResolvedServer {
    ServerAddress address;
    bool lookedUp = false;
};

// resolveServer, saying how the address was found.
Expected<ResolvedServer, Fault> resolveServerSetting(std::string_view setting,
                                                     Clock::time_point deadline);

}  // namespace ombrix::lookup
