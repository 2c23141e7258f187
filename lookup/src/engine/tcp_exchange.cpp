#include "engine/tcp_exchange.h"

#include <sys/epoll.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "reply.h"
#include "socket_io.h"

namespace ombrix::lookup {
namespace {

constexpr std::size_t kLengthOctets = 2;

Miss missed(const std::string& what) {
    return Miss{receivingFault("over TCP, " + what)};
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

// The stream ended after `got` of the `announced` bytes of a message or its length.
Miss closedEarly(std::size_t got, std::size_t announced, const char* part) {
    return missed("the server closed the connection after " + std::to_string(got) + " of the " +
                  std::to_string(announced) + " bytes of " + part);
}

// The stream ended where a message could begin, after `heard` messages that were not ours.
Miss closedBetweenMessages(std::size_t heard) {
    if (heard == 0) {
        return missed("the server closed the connection without replying");
    }
    return missed("the server closed the connection after " + std::to_string(heard) +
                  (heard == 1 ? " message" : " messages") + " that did not answer the query");
}

std::vector<std::uint8_t> framed(std::span<const std::uint8_t> message) {
    std::vector<std::uint8_t> frame;
    frame.reserve(message.size() + kLengthOctets);
    frame.push_back(static_cast<std::uint8_t>(message.size() >> 8));
    frame.push_back(static_cast<std::uint8_t>(message.size() & 0xFF));
    frame.insert(frame.end(), message.begin(), message.end());
    return frame;
}

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

TcpExchange::TcpExchange(SocketHandle socket, std::vector<std::uint8_t> frame, bool connected)
    : socket_(std::move(socket)),
      phase_(connected ? Phase::writing : Phase::connecting),
      frame_(std::move(frame)) {}

Expected<TcpExchange, Miss> TcpExchange::start(const ServerAddress& server,
                                               std::span<const std::uint8_t> message) {
    auto socket = openSocket(server, SOCK_STREAM);
    if (!socket) {
        return Unexpected(Miss{std::move(socket.error()), true});
    }
    const bool connected = ::connect(socket->fd(), server.sockaddrPtr(), server.length) == 0;
    if (!connected && errno != EINPROGRESS && errno != EINTR) {
        return Unexpected(connectionFailed(errno));
    }
    return TcpExchange(std::move(socket.value()), framed(message), connected);
}

std::uint32_t TcpExchange::events() const {
    return phase_ == Phase::connecting || phase_ == Phase::writing ? EPOLLOUT : EPOLLIN;
}

Miss TcpExchange::timedOut() const {
    switch (phase_) {
        case Phase::connecting:
            return missed("timed out waiting for the connection");
        case Phase::writing:
            return missed("timed out waiting for the query to go out");
        default:
            return missed("timed out waiting for the reply");
    }
}

std::optional<Miss> TcpExchange::finishConnect() {
    int failure = 0;
    socklen_t size = sizeof failure;
    if (::getsockopt(fd(), SOL_SOCKET, SO_ERROR, &failure, &size) != 0) {
        return connectionFailed(errno);
    }
    if (failure != 0) {
        return connectionFailed(failure);
    }
    phase_ = Phase::writing;
    return std::nullopt;
}

std::optional<Miss> TcpExchange::write() {
    while (written_ < frame_.size()) {
        // MSG_NOSIGNAL: a peer that closed early must not kill the host with SIGPIPE.
        const ssize_t sent =
            ::send(fd(), frame_.data() + written_, frame_.size() - written_, MSG_NOSIGNAL);
        if (sent > 0) {
            written_ += static_cast<std::size_t>(sent);
        } else if (sent < 0 && wouldBlock(errno)) {
            return std::nullopt;
        } else {
            return connectionFailed(sent < 0 ? errno : EPIPE);
        }
    }
    phase_ = Phase::readingLength;
    return std::nullopt;
}

Expected<bool, Miss> TcpExchange::fill(std::size_t wanted) {
    while (buffer_.size() < wanted) {
        const auto have = buffer_.size();
        buffer_.resize(wanted);
        const ssize_t got = ::recv(fd(), buffer_.data() + have, wanted - have, 0);
        buffer_.resize(have + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        if (got == 0) {
            if (phase_ == Phase::readingMessage) {
                return Unexpected(closedEarly(have - kLengthOctets, wanted - kLengthOctets,
                                              "the message"));
            }
            return Unexpected(have == 0 ? closedBetweenMessages(dropped_)
                                        : closedEarly(have, wanted, "a length prefix"));
        }
        if (got < 0) {
            if (wouldBlock(errno)) {
                return false;
            }
            return Unexpected(connectionFailed(errno));
        }
    }
    return true;
}

TcpExchange::Step TcpExchange::advance(const QueryMatch& match) {
    if (phase_ == Phase::connecting) {
        if (auto miss = finishConnect()) {
            return Unexpected(std::move(*miss));
        }
    }
    if (phase_ == Phase::writing) {
        if (auto miss = write()) {
            return Unexpected(std::move(*miss));
        }
        if (phase_ == Phase::writing) {
            return std::nullopt;
        }
    }
    for (;;) {
        const std::size_t wanted =
            phase_ == Phase::readingLength
                ? kLengthOctets
                : kLengthOctets + (static_cast<std::size_t>(buffer_[0]) << 8 | buffer_[1]);
        auto filled = fill(wanted);
        if (!filled) {
            return Unexpected(std::move(filled.error()));
        }
        if (!*filled) {
            return std::nullopt;
        }
        if (phase_ == Phase::readingLength) {
            phase_ = Phase::readingMessage;
            continue;
        }
        std::vector<std::uint8_t> message(buffer_.begin() + kLengthOctets, buffer_.end());
        buffer_.clear();
        phase_ = Phase::readingLength;
        if (isReplyTo(message, match.id, *match.qname, match.qtype)) {
            return Expected<std::vector<std::uint8_t>, Miss>(std::move(message));
        }
        ++dropped_;
    }
}

}  // namespace ombrix::lookup
