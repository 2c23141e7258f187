#include "ombrix/lookup/udp_exchange.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "ombrix/lookup/exchange_errors.h"
#include "ombrix/lookup/socket_io.h"

namespace ombrix::lookup {
namespace {

Expected<SocketHandle> openConnectedSocket(const ServerAddress& server) {
    auto socket = openSocket(server, SOCK_DGRAM);
    if (socket && ::connect(socket.value().fd(), server.sockaddrPtr(), server.length) != 0) {
        return socketError(server, errno);
    }
    return socket;
}

Status sendQuery(int fd, const std::vector<std::uint8_t>& message) {
    ssize_t sent = ::send(fd, message.data(), message.size(), 0);
    if (sent == static_cast<ssize_t>(message.size())) {
        return ok();
    }
    // A refusal left pending by an earlier try surfaces here instead of on the receive.
    return sent < 0 && errno == ECONNREFUSED ? receivingError() : sendingError();
}

// One datagram, or nothing when none is waiting; an error when the socket reports one.
Expected<std::optional<UdpReply>> receiveDatagram(int fd) {
    std::vector<std::uint8_t> buffer(kMaxUdpReply + 1);
    ssize_t length;
    do {
        // MSG_TRUNC makes recv tell the datagram's full length even when it was cut.
        length = ::recv(fd, buffer.data(), buffer.size(), MSG_TRUNC);
    } while (length < 0 && errno == EINTR);
    if (length < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return std::optional<UdpReply>();
        }
        return receivingError();
    }
    auto received = static_cast<std::size_t>(length);
    buffer.resize(std::min(received, kMaxUdpReply));
    return std::optional<UdpReply>(UdpReply{std::move(buffer), received > kMaxUdpReply});
}

// The reply that answers the query, nothing when the deadline passes first.
Expected<std::optional<UdpReply>> awaitReply(int fd, const PendingQuery& query,
                                             Clock::time_point deadline) {
    for (;;) {
        switch (waitUntil(fd, POLLIN, deadline)) {
            case WaitResult::TimedOut:
                return std::optional<UdpReply>();
            case WaitResult::Failed:
                return receivingError();
            case WaitResult::Ready:
                break;
        }
        auto datagram = receiveDatagram(fd);
        if (!datagram) {
            return datagram.error();
        }
        if (datagram.value() && query.isAnsweredBy(datagram.value()->message)) {
            return datagram;
        }
    }
}

}  // namespace

Expected<UdpReply> exchangeOverUdp(const ServerAddress& server, const PendingQuery& query,
                                   const QueryTiming& timing) {
    auto socket = openConnectedSocket(server);
    if (!socket) {
        return socket.error();
    }
    int fd = socket.value().fd();
    for (int attempt = 0; attempt < std::max(timing.tries, 1); ++attempt) {
        if (auto sent = sendQuery(fd, query.message); !sent) {
            return sent.error();
        }
        auto reply = awaitReply(fd, query, Clock::now() + timing.perTry);
        if (!reply) {
            return reply.error();
        }
        if (reply.value()) {
            return std::move(*reply.value());
        }
    }
    return receivingError();
}

}  // namespace ombrix::lookup
