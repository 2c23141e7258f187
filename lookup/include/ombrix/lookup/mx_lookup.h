#pragma once

#include <chrono>
#include <string_view>

#include "ombrix/lookup/export.h"
#include "ombrix/lookup/mx_result.h"

namespace ombrix::lookup {

// How long one lookup may take: tries x timeout in all, each try waiting at most timeout.
struct LookupOptions {
    std::chrono::milliseconds timeout{2000};
    int tries = 3;
};

// One MX lookup from start to end: the domain is checked and encoded, the server setting
// ("192.0.2.1", "ns.example:5353", "[::1]:5353") resolved, the query sent with a random ID
// and the reply read. Every failure is in the result, never thrown. Safe to call from several
// threads at once; each calling thread keeps what its next lookup can use again (a 64 KiB
// receive buffer, the lookup's bookkeeping, up to eight servers written as addresses; never a
// socket or a server named by host), freed when the thread ends.
OMBRIX_LOOKUP_API MxResult lookupMx(std::string_view server, std::string_view domain,
                                    const LookupOptions& options = {});

}  // namespace ombrix::lookup
