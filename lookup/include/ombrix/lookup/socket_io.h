#pragma once

#include <chrono>

#include "ombrix/lookup/error.h"
#include "ombrix/lookup/server_address.h"
#include "ombrix/lookup/socket_handle.h"

namespace ombrix::lookup {

using Clock = std::chrono::steady_clock;

// A non-blocking socket of the given type (SOCK_DGRAM, SOCK_STREAM) for the server's address
// family; error 20000 naming the server when the system refuses one.
Expected<SocketHandle> openSocket(const ServerAddress& server, int type);

// The error for a socket that cannot be opened or connected, with the system's reason.
Error socketError(const ServerAddress& server, int systemError);

enum class WaitResult { Ready, TimedOut, Failed };

// Waits until the descriptor reports one of the poll events (or an error or hang-up, which
// the next call on it reveals) or the deadline passes. Signals do not cut the wait short.
WaitResult waitUntil(int fd, short events, Clock::time_point deadline);

}  // namespace ombrix::lookup
