#include "udp_exchange.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "ombrix/lookup/byte_reader.h"
#include "socket_io.h"

namespace ombrix::lookup {
namespace {

constexpr std::uint16_t kResponseBit = 0x8000;
constexpr std::uint16_t kOpcodeBits = 0x7800;
constexpr std::uint16_t kTruncatedBit = 0x0200;

using TryResult = Expected<WireAnswer, Miss>;

Miss refused() {
    return Miss{receivingFault("the server refused the query (port unreachable)"), true};
}

Miss systemMiss(Fault (*fault)(std::string_view), int systemError) {
    return Miss{fault(std::generic_category().message(systemError)), true};
}

// A truncated response to our ID that leaves the question out, as some servers send: it
// only says "ask over TCP", where the answer is checked in full.
bool isTruncationNotice(std::span<const std::uint8_t> message, std::uint16_t id) {
    ByteReader header(message);
    const auto messageId = header.u16();
    const auto flags = header.u16();
    const auto questions = header.u16();
    return messageId == id && flags && (*flags & kResponseBit) != 0 &&
           (*flags & kOpcodeBits) == 0 && (*flags & kTruncatedBit) != 0 && questions == 0;
}

// The socket blocks in recv with a receive time-out rather than waiting in poll first: the
// reply wakes the recv itself, as in a bare round trip.
Expected<SocketHandle, Fault> openConnectedSocket(const ServerAddress& server) {
    auto socket = openSocket(server, SOCK_DGRAM, SocketMode::blocking);
    if (socket && ::connect(socket->fd(), server.sockaddrPtr(), server.length) != 0) {
        return Unexpected(socketFault(server, errno));
    }
    return socket;
}

std::optional<Miss> sendQuery(int fd, const std::vector<std::uint8_t>& message) {
    ssize_t sent = ::send(fd, message.data(), message.size(), 0);
    if (sent == static_cast<ssize_t>(message.size())) {
        return std::nullopt;
    }
    // A refusal left pending by an earlier try surfaces here instead of on the receive.
    if (sent < 0 && errno == ECONNREFUSED) {
        return refused();
    }
    return systemMiss(sendingFault, sent < 0 ? errno : EMSGSIZE);
}

// Lets the next recv on fd wait until the deadline at most; false once the deadline has passed.
Expected<bool, Miss> waitAtMostUntil(int fd, Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        return false;
    }
    // A zero time-out would mean no time-out at all; what is left is at least a microsecond.
    const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
    const timeval limit{static_cast<time_t>(seconds.count()),
                        static_cast<suseconds_t>((left - seconds).count())};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
        return Unexpected(systemMiss(receivingFault, errno));
    }
    return true;
}

// One datagram, or nothing when the wait ran out or a signal cut it short.
Expected<std::optional<WireAnswer>, Miss> receiveDatagram(int fd) {
    std::vector<std::uint8_t> buffer(kMaxUdpReply + 1);
    // MSG_TRUNC makes recv tell the datagram's full length even when it was cut.
    const ssize_t length = ::recv(fd, buffer.data(), buffer.size(), MSG_TRUNC);
    if (length < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return std::optional<WireAnswer>();
        }
        return Unexpected(errno == ECONNREFUSED ? refused() : systemMiss(receivingFault, errno));
    }
    const auto received = static_cast<std::size_t>(length);
    buffer.resize(std::min(received, kMaxUdpReply));
    WireAnswer answer;
    answer.message = std::move(buffer);
    answer.oversized = received > kMaxUdpReply;
    return std::optional<WireAnswer>(std::move(answer));
}

// Waits for the datagram that answers the query, counting those dropped on the way.
TryResult awaitReply(int fd, const PendingQuery& query, Clock::time_point deadline,
                     std::size_t& dropped) {
    for (;;) {
        auto waiting = waitAtMostUntil(fd, deadline);
        if (!waiting) {
            return Unexpected(std::move(waiting.error()));
        }
        if (!*waiting) {
            return Unexpected(Miss{receivingFault("no reply")});
        }
        auto datagram = receiveDatagram(fd);
        if (!datagram) {
            return Unexpected(std::move(datagram.error()));
        }
        if (!*datagram) {
            continue;
        }
        const auto& message = (*datagram)->message;
        if (query.isAnsweredBy(message) || isTruncationNotice(message, query.id)) {
            return std::move(**datagram);
        }
        ++dropped;
    }
}

}  // namespace

Leg exchangeOverUdp(const ServerAddress& server, const PendingQuery& query,
                    const QueryBudget& budget) {
    auto socket = openConnectedSocket(server);
    if (!socket) {
        return Leg{Unexpected(std::move(socket.error()))};
    }
    const int fd = socket->fd();
    std::size_t dropped = 0;
    Leg leg = retryWithin(budget, "UDP", [&](Clock::time_point deadline) -> TryResult {
        const auto sentAt = Clock::now();
        if (auto miss = sendQuery(fd, query.message)) {
            return Unexpected(std::move(*miss));
        }
        auto reply = awaitReply(fd, query, deadline, dropped);
        if (reply) {
            reply->roundTrip =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sentAt);
        }
        return reply;
    });
    leg.dropped = dropped;
    return leg;
}

}  // namespace ombrix::lookup
