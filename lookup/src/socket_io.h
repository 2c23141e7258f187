#pragma once

#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/server_address.h"
#include "socket_handle.h"

namespace ombrix::lookup {

// A socket of the given type (SOCK_DGRAM, SOCK_STREAM) for the server's address family,
// non-blocking unless asked; a fault naming the server when the system refuses one.
Expected<SocketHandle, Fault> openSocket(const ServerAddress& server, int type,
                                         bool blocking = false);

}  // namespace ombrix::lookup
