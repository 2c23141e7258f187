#pragma once

#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/query_timing.h"
#include "ombrix/lookup/server_address.h"
#include "ombrix/lookup/socket_handle.h"

namespace ombrix::lookup {

enum class SocketMode { nonBlocking, blocking };

// A socket of the given type (SOCK_DGRAM, SOCK_STREAM) for the server's address family; a
// fault naming the server when the system refuses one.
Expected<SocketHandle, Fault> openSocket(const ServerAddress& server, int type,
                                         SocketMode mode = SocketMode::nonBlocking);

enum class WaitResult { Ready, TimedOut, Failed };

// Waits until the descriptor reports one of the poll events (or an error or hang-up, which
// the next call on it reveals) or the deadline passes. Signals do not cut the wait short.
WaitResult waitUntil(int fd, short events, Clock::time_point deadline);

}  // namespace ombrix::lookup
