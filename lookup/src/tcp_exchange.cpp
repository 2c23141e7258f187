#include "ombrix/lookup/tcp_exchange.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <span>

#include "ombrix/lookup/exchange_errors.h"
#include "ombrix/lookup/socket_io.h"

namespace ombrix::lookup {
namespace {

enum class IoResult { Done, TimedOut, Failed };

// Connects within the deadline; an error only when the server cannot be reached at all.
Expected<IoResult> connectTo(int fd, const ServerAddress& server, Clock::time_point deadline) {
    if (::connect(fd, server.sockaddrPtr(), server.length) == 0) {
        return IoResult::Done;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        return sendingError();
    }
    if (waitUntil(fd, POLLOUT, deadline) != WaitResult::Ready) {
        return IoResult::TimedOut;
    }
    int failure = 0;
    socklen_t size = sizeof failure;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size) != 0 || failure != 0) {
        return sendingError();
    }
    return IoResult::Done;
}

IoResult writeAll(int fd, std::span<const std::uint8_t> bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        // MSG_NOSIGNAL: a peer that closed early must not kill the host with SIGPIPE.
        ssize_t written = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (written > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(written));
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitUntil(fd, POLLOUT, deadline) != WaitResult::Ready) {
                return IoResult::TimedOut;
            }
        } else if (!(written < 0 && errno == EINTR)) {
            return IoResult::Failed;
        }
    }
    return IoResult::Done;
}

IoResult readExactly(int fd, std::span<std::uint8_t> bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        ssize_t got = ::recv(fd, bytes.data(), bytes.size(), 0);
        if (got > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(got));
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitUntil(fd, POLLIN, deadline) != WaitResult::Ready) {
                return IoResult::TimedOut;
            }
        } else if (!(got < 0 && errno == EINTR)) {
            return IoResult::Failed;
        }
    }
    return IoResult::Done;
}

std::vector<std::uint8_t> framed(const std::vector<std::uint8_t>& message) {
    std::vector<std::uint8_t> frame;
    frame.reserve(message.size() + 2);
    frame.push_back(static_cast<std::uint8_t>(message.size() >> 8));
    frame.push_back(static_cast<std::uint8_t>(message.size() & 0xFF));
    frame.insert(frame.end(), message.begin(), message.end());
    return frame;
}

// Reads framed messages until one answers the query; nothing when the stream ends, fails or
// the deadline passes first.
std::optional<std::vector<std::uint8_t>> awaitReply(int fd, const PendingQuery& query,
                                                    Clock::time_point deadline) {
    for (;;) {
        std::uint8_t prefix[2] = {};
        if (readExactly(fd, prefix, deadline) != IoResult::Done) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> message(static_cast<std::size_t>(prefix[0]) << 8 | prefix[1]);
        if (readExactly(fd, message, deadline) != IoResult::Done) {
            return std::nullopt;
        }
        if (query.isAnsweredBy(message)) {
            return message;
        }
    }
}

// One connection: the reply, nothing when this try went unanswered, or an error that makes
// further tries pointless.
Expected<std::optional<std::vector<std::uint8_t>>> tryOnce(const ServerAddress& server,
                                                           const PendingQuery& query,
                                                           Clock::time_point deadline) {
    using Outcome = std::optional<std::vector<std::uint8_t>>;
    auto socket = openSocket(server, SOCK_STREAM);
    if (!socket) {
        return socket.error();
    }
    int fd = socket.value().fd();
    auto connected = connectTo(fd, server, deadline);
    if (!connected) {
        return connected.error();
    }
    if (connected.value() != IoResult::Done) {
        return Outcome();
    }
    switch (writeAll(fd, framed(query.message), deadline)) {
        case IoResult::Failed:
            return sendingError();
        case IoResult::TimedOut:
            return Outcome();
        case IoResult::Done:
            break;
    }
    return awaitReply(fd, query, deadline);
}

}  // namespace

Expected<std::vector<std::uint8_t>> exchangeOverTcp(const ServerAddress& server,
                                                    const PendingQuery& query,
                                                    const QueryTiming& timing) {
    for (int attempt = 0; attempt < std::max(timing.tries, 1); ++attempt) {
        auto reply = tryOnce(server, query, Clock::now() + timing.perTry);
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
