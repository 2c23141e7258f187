#include "tools/bulk/query_socket.h"

#include <sys/socket.h>

#include <cerrno>
#include <system_error>

namespace ombrix::tools {
namespace {

// Room for the replies of a large window that arrive while we are busy; as root the limit of
// the system does not apply.
constexpr int kReceiveBuffer = 4 << 20;

std::system_error systemFailure(const char* what) {
    return std::system_error(errno, std::generic_category(), what);
}

}  // namespace

QuerySocket::QuerySocket(const lookup::ServerAddress& server)
    : socket_(::socket(server.family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)),
      owners_(1 << 16, kNoOwner) {
    if (!socket_.valid()) {
        throw systemFailure("cannot open a UDP socket");
    }
    if (::setsockopt(fd(), SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBuffer, sizeof kReceiveBuffer) !=
        0) {
        ::setsockopt(fd(), SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    }
    if (::connect(fd(), server.sockaddrPtr(), server.length) != 0) {
        throw systemFailure("cannot reach the server");
    }
}

void QuerySocket::releaseId(std::uint16_t id) {
    if (owners_[id] != kNoOwner) {
        owners_[id] = kNoOwner;
        --claimed_;
    }
}

}  // namespace ombrix::tools
