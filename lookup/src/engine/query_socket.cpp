#include "engine/query_socket.h"

#include <sys/socket.h>

#include <cerrno>

#include "exchange_errors.h"
#include "socket_io.h"

namespace ombrix::lookup {
namespace {

// As root the limit of the system does not apply.
constexpr int kLargeReceiveBuffer = 4 << 20;

}  // namespace

Expected<QuerySocket, Fault> QuerySocket::open(const ServerAddress& server, bool largeBuffer,
                                               bool blocking) {
    auto socket = openSocket(server, SOCK_DGRAM, blocking);
    if (!socket) {
        return Unexpected(std::move(socket.error()));
    }
    const int fd = socket->fd();
    if (largeBuffer && ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kLargeReceiveBuffer,
                                    sizeof kLargeReceiveBuffer) != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kLargeReceiveBuffer, sizeof kLargeReceiveBuffer);
    }
    if (::connect(fd, server.sockaddrPtr(), server.length) != 0) {
        return Unexpected(socketFault(server, errno));
    }
    return QuerySocket(std::move(socket.value()), blocking);
}

}  // namespace ombrix::lookup
