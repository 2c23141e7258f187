#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "socket_handle.h"

namespace ombrix::testing {

using lookup::SocketHandle;

// How a scripted server answers one query, called on the server's thread.
class Responder {
  public:
    using Bytes = std::vector<std::uint8_t>;

    virtual ~Responder() = default;
    // The message as a reply: a datagram from the server's port, or over TCP a frame with its
    // two-byte length, written in pieces so that the client has to put it together.
    virtual void send(const Bytes& message) = 0;
    // UDP: the message as a datagram from another port of the same address.
    virtual void sendFromOtherPort(const Bytes& message) = 0;
    // TCP: bytes written as they are, without a length prefix.
    virtual void sendRaw(const Bytes& bytes) = 0;
    // TCP: ends the connection with a reset instead of an orderly close.
    virtual void reset() = 0;
};

struct ReceivedQuery {
    std::vector<std::uint8_t> message;
    bool overTcp = false;
    std::uint16_t sourcePort = 0;  // the client's, over UDP
};

// A DNS server of our own on 127.0.0.1 that answers as a test scripts it: UDP and TCP on the
// same ephemeral port, served by one thread that the destructor stops and joins. A TCP
// connection carries one query; it is closed when the script returns.
class ScriptedDnsServer {
  public:
    using Script = std::function<void(const std::vector<std::uint8_t>& query, Responder&)>;

    // Whether the TCP port takes connections or refuses them.
    enum class Tcp { listening, refusing };

    // Without a TCP script, TCP connections are closed unanswered.
    explicit ScriptedDnsServer(Script udp, Script tcp = nullptr, Tcp tcpMode = Tcp::listening);
    ~ScriptedDnsServer();
    ScriptedDnsServer(const ScriptedDnsServer&) = delete;
    ScriptedDnsServer& operator=(const ScriptedDnsServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "127.0.0.1:PORT", as a server setting.
    std::string setting() const;
    std::vector<ReceivedQuery> queries() const;
    std::size_t udpQueryCount() const;
    std::size_t tcpQueryCount() const;
    // Every query received, over both transports: the tries a client made.
    std::size_t tries() const { return queries().size(); }

  private:
    void serve();
    void awaitDrained() const;
    void answerDatagram();
    void answerConnection();
    void record(const std::vector<std::uint8_t>& message, bool overTcp, std::uint16_t sourcePort);

    Script udpScript_;
    Script tcpScript_;
    Tcp tcpMode_;
    SocketHandle udp_;
    SocketHandle tcp_;
    SocketHandle otherPort_;
    SocketHandle wake_;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<ReceivedQuery> queries_;
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens: UDP sent there is refused by ICMP.
std::uint16_t closedUdpPort();

}  // namespace ombrix::testing
