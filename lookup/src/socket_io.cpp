#include "socket_io.h"

#include <sys/socket.h>

#include <cerrno>

#include "exchange_errors.h"

namespace ombrix::lookup {

Expected<SocketHandle, Fault> openSocket(const ServerAddress& server, int type, bool blocking) {
    SocketHandle socket(
        ::socket(server.family(), type | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0));
    if (!socket.valid()) {
        return Unexpected(socketFault(server, errno));
    }
    return socket;
}

}  // namespace ombrix::lookup
