#include "tcp_exchange.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <span>
#include <string>
#include <system_error>

#include "socket_io.h"

namespace ombrix::lookup {
namespace {

using TryResult = Expected<WireAnswer, Miss>;

Miss missed(const std::string& what) {
    return Miss{receivingFault("over TCP, " + what)};
}

Miss timedOut(const char* waitingFor) {
    return missed(std::string("timed out waiting for ") + waitingFor);
}

// A failed call on the connection, in words; ECONNREFUSED and the like end the tries.
Miss connectionFailed(int systemError) {
    switch (systemError) {
        case ECONNREFUSED:
            return Miss{receivingFault("over TCP, the server refused the connection"), true};
        case ECONNRESET:
        case EPIPE:
            return missed("the server reset the connection");
        default:
            return Miss{receivingFault("over TCP, " + std::generic_category().message(systemError)),
                        true};
    }
}

std::optional<Miss> connectTo(int fd, const ServerAddress& server, Clock::time_point deadline) {
    if (::connect(fd, server.sockaddrPtr(), server.length) == 0) {
        return std::nullopt;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        return connectionFailed(errno);
    }
    if (waitUntil(fd, POLLOUT, deadline) != WaitResult::Ready) {
        return timedOut("the connection");
    }
    int failure = 0;
    socklen_t size = sizeof failure;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size) != 0) {
        return connectionFailed(errno);
    }
    return failure == 0 ? std::nullopt : std::optional<Miss>(connectionFailed(failure));
}

std::optional<Miss> writeAll(int fd, std::span<const std::uint8_t> bytes,
                             Clock::time_point deadline) {
    while (!bytes.empty()) {
        // MSG_NOSIGNAL: a peer that closed early must not kill the host with SIGPIPE.
        ssize_t written = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (written > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(written));
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitUntil(fd, POLLOUT, deadline) != WaitResult::Ready) {
                return timedOut("the query to go out");
            }
        } else if (!(written < 0 && errno == EINTR)) {
            return connectionFailed(written < 0 ? errno : EPIPE);
        }
    }
    return std::nullopt;
}

// How far a read got: all it asked for, or how many bytes came before the stream ended.
struct ReadEnd {
    std::optional<Miss> miss;
    std::size_t got = 0;
    bool closed = false;
};

ReadEnd readExactly(int fd, std::span<std::uint8_t> bytes, Clock::time_point deadline) {
    ReadEnd end;
    while (end.got < bytes.size()) {
        const auto rest = bytes.subspan(end.got);
        ssize_t got = ::recv(fd, rest.data(), rest.size(), 0);
        if (got > 0) {
            end.got += static_cast<std::size_t>(got);
        } else if (got == 0) {
            end.closed = true;
            return end;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (waitUntil(fd, POLLIN, deadline) != WaitResult::Ready) {
                end.miss = timedOut("the reply");
                return end;
            }
        } else if (errno != EINTR) {
            end.miss = connectionFailed(errno);
            return end;
        }
    }
    return end;
}

// The stream ended after `got` of the `announced` bytes of a message or its length.
Miss closedEarly(std::size_t got, std::size_t announced, const char* part) {
    return missed("the server closed the connection after " + std::to_string(got) + " of the " +
                  std::to_string(announced) + " bytes of " + part);
}

std::vector<std::uint8_t> framed(const std::vector<std::uint8_t>& message) {
    std::vector<std::uint8_t> frame;
    frame.reserve(message.size() + 2);
    frame.push_back(static_cast<std::uint8_t>(message.size() >> 8));
    frame.push_back(static_cast<std::uint8_t>(message.size() & 0xFF));
    frame.insert(frame.end(), message.begin(), message.end());
    return frame;
}

// The stream ended where a message could begin, after `heard` messages that were not ours.
Miss closedBetweenMessages(std::size_t heard) {
    if (heard == 0) {
        return missed("the server closed the connection without replying");
    }
    return missed("the server closed the connection after " + std::to_string(heard) +
                  (heard == 1 ? " message" : " messages") + " that did not answer the query");
}

// One framed message, or why none came.
Expected<std::vector<std::uint8_t>, Miss> readMessage(int fd, Clock::time_point deadline,
                                                      std::size_t heard) {
    std::uint8_t prefix[2] = {};
    auto end = readExactly(fd, prefix, deadline);
    if (end.miss || end.closed) {
        return Unexpected(end.miss       ? std::move(*end.miss)
                          : end.got == 0 ? closedBetweenMessages(heard)
                                         : closedEarly(end.got, sizeof prefix, "a length prefix"));
    }
    std::vector<std::uint8_t> message(static_cast<std::size_t>(prefix[0]) << 8 | prefix[1]);
    end = readExactly(fd, message, deadline);
    if (end.miss || end.closed) {
        return Unexpected(end.miss ? std::move(*end.miss)
                                   : closedEarly(end.got, message.size(), "the message"));
    }
    return message;
}

TryResult tryOnce(const ServerAddress& server, const PendingQuery& query,
                  Clock::time_point deadline, std::size_t& dropped) {
    const auto startedAt = Clock::now();
    auto socket = openSocket(server, SOCK_STREAM);
    if (!socket) {
        return Unexpected(Miss{std::move(socket.error()), true});
    }
    const int fd = socket->fd();
    if (auto miss = connectTo(fd, server, deadline)) {
        return Unexpected(std::move(*miss));
    }
    if (auto miss = writeAll(fd, framed(query.message), deadline)) {
        return Unexpected(std::move(*miss));
    }
    for (std::size_t heard = 0;; ++heard) {
        auto message = readMessage(fd, deadline, heard);
        if (!message) {
            return Unexpected(std::move(message.error()));
        }
        if (query.isAnsweredBy(*message)) {
            return WireAnswer{
                std::move(*message),
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - startedAt)};
        }
        ++dropped;
    }
}

}  // namespace

Leg exchangeOverTcp(const ServerAddress& server, const PendingQuery& query,
                    const QueryBudget& budget) {
    std::size_t dropped = 0;
    Leg leg = retryWithin(budget, "TCP", [&](Clock::time_point deadline) {
        return tryOnce(server, query, deadline, dropped);
    });
    leg.dropped = dropped;
    return leg;
}

}  // namespace ombrix::lookup
