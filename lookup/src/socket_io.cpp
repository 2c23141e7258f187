#include "socket_io.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "exchange_errors.h"

namespace ombrix::lookup {

Expected<SocketHandle, Fault> openSocket(const ServerAddress& server, int type,
                                         SocketMode mode) {
    const int flags = SOCK_CLOEXEC | (mode == SocketMode::nonBlocking ? SOCK_NONBLOCK : 0);
    SocketHandle socket(::socket(server.family(), type | flags, 0));
    if (!socket.valid()) {
        return Unexpected(socketFault(server, errno));
    }
    return socket;
}

WaitResult waitUntil(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return WaitResult::TimedOut;
        }
        pollfd entry{fd, events, 0};
        int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return WaitResult::Ready;
        }
        if (ready < 0 && errno != EINTR) {
            return WaitResult::Failed;
        }
    }
}

}  // namespace ombrix::lookup
