#include "socket_io.h"

#include <sys/socket.h>

#include <cerrno>

#include "exchange_errors.h"

namespace ombrix::lookup {

Expected<SocketHandle, Fault> openSocket(const ServerAddress& server, int type) {
    SocketHandle socket(::socket(server.family(), type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket.valid()) {
        return Unexpected(socketFault(server, errno));
    }
    return socket;
}

}  // namespace ombrix::lookup
