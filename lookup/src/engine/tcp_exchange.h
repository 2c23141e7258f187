#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "exchange_errors.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/server_address.h"
#include "socket_handle.h"

namespace ombrix::lookup {

// What a TCP message must match to be the answer: our ID and our question.
struct QueryMatch {
    std::uint16_t id = 0;
    const WireName* qname = nullptr;
    std::uint16_t qtype = 0;
};

// One try of a query over TCP (RFC 7766) on a non-blocking connection, moved along by the
// event loop whenever its descriptor is ready: connect, write the message framed by its
// length in two bytes, read framed messages until one answers the query. Messages that do not
// answer are dropped and counted.
class TcpExchange {
  public:
    using Step = std::optional<Expected<std::vector<std::uint8_t>, Miss>>;

    // Opens the socket and starts connecting; a miss when the system refuses.
    static Expected<TcpExchange, Miss> start(const ServerAddress& server,
                                             std::span<const std::uint8_t> message);

    int fd() const { return socket_.fd(); }
    // The epoll events the exchange waits for now.
    std::uint32_t events() const;
    // Goes as far as the connection allows without waiting: nothing while the exchange goes
    // on, else the answer or why there is none.
    Step advance(const QueryMatch& match);
    // Why the exchange is over when its time runs out, by what it was waiting for.
    Miss timedOut() const;
    std::size_t dropped() const { return dropped_; }

  private:
    enum class Phase { connecting, writing, readingLength, readingMessage };

    TcpExchange(SocketHandle socket, std::vector<std::uint8_t> frame, bool connected);
    std::optional<Miss> finishConnect();
    std::optional<Miss> write();
    // Reads into buffer_ until it holds `wanted` bytes; false while more must come.
    Expected<bool, Miss> fill(std::size_t wanted);

    SocketHandle socket_;
    Phase phase_;
    std::vector<std::uint8_t> frame_;
    std::size_t written_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::size_t dropped_ = 0;
};

}  // namespace ombrix::lookup
