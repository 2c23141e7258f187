#pragma once

#include <netdb.h>
#include <sys/socket.h>

#include <string>

#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/query_timing.h"

namespace ombrix::lookup {

struct SocketAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
};

// The address an entry of getaddrinfo's answer holds.
SocketAddress addressIn(const addrinfo& entry);

// The first address the system resolver gives for a host name, or why there is none. The
// wait ends at the deadline; a lookup still running then is left to finish on its own and is
// cleaned up later, so the caller is never held past its budget.
Expected<SocketAddress, std::string> resolveHostWithin(const std::string& host,
                                                       Clock::time_point deadline);

}  // namespace ombrix::lookup
