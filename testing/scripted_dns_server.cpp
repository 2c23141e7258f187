#include "testing/scripted_dns_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <span>
#include <stdexcept>
#include <thread>

namespace ombrix::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// The server thread gives up on its own after this long, should a test forget to end it.
constexpr auto kLifetimeCap = 30s;
constexpr int kBindAttempts = 20;

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

const sockaddr* asSockaddr(const sockaddr_in& address) {
    return reinterpret_cast<const sockaddr*>(&address);
}

SocketHandle boundSocket(int type, std::uint16_t port) {
    SocketHandle socket(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    auto address = loopback(port);
    if (!socket.valid() || ::bind(socket.fd(), asSockaddr(address), sizeof address) != 0) {
        return SocketHandle();
    }
    return socket;
}

std::uint16_t portOf(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

void setTimeouts(int fd, std::chrono::milliseconds limit) {
    timeval value{0, static_cast<suseconds_t>(limit.count() * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &value, sizeof value);
}

bool readAll(int fd, std::span<std::uint8_t> bytes) {
    while (!bytes.empty()) {
        ssize_t got = ::recv(fd, bytes.data(), bytes.size(), 0);
        if (got <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(got));
    }
    return true;
}

void writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        ssize_t put = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (put <= 0) {
            return;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(put));
    }
}

class UdpResponder : public Responder {
  public:
    UdpResponder(int fd, int otherFd, const sockaddr_in& client)
        : fd_(fd), otherFd_(otherFd), client_(client) {}

    void send(const Bytes& message) override { sendFrom(fd_, message); }
    void sendFromOtherPort(const Bytes& message) override { sendFrom(otherFd_, message); }
    void sendRaw(const Bytes& bytes) override { sendFrom(fd_, bytes); }
    void reset() override {}

  private:
    void sendFrom(int fd, const Bytes& message) {
        ::sendto(fd, message.data(), message.size(), 0, asSockaddr(client_), sizeof client_);
    }

    int fd_;
    int otherFd_;
    sockaddr_in client_;
};

class TcpResponder : public Responder {
  public:
    explicit TcpResponder(int fd) : fd_(fd) {}

    void send(const Bytes& message) override {
        const Bytes prefix{static_cast<std::uint8_t>(message.size() >> 8),
                           static_cast<std::uint8_t>(message.size() & 0xFF)};
        std::span<const std::uint8_t> body(message);
        const auto half = body.size() / 2;
        for (auto piece :
             {std::span<const std::uint8_t>(prefix), body.first(half), body.subspan(half)}) {
            writeAll(fd_, piece);
            std::this_thread::sleep_for(5ms);
        }
    }
    void sendFromOtherPort(const Bytes& message) override { send(message); }
    void sendRaw(const Bytes& bytes) override { writeAll(fd_, bytes); }
    void reset() override {
        // Closing with a zero linger time sends RST instead of FIN.
        const linger abort{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }

  private:
    int fd_;
};

}  // namespace

ScriptedDnsServer::ScriptedDnsServer(Script udp, Script tcp, Tcp tcpMode)
    : udpScript_(std::move(udp)), tcpScript_(std::move(tcp)), tcpMode_(tcpMode) {
    // UDP picks a free port; TCP must get the same number, which may be taken, so try again.
    for (int attempt = 0; attempt < kBindAttempts && !tcp_.valid(); ++attempt) {
        udp_ = boundSocket(SOCK_DGRAM, 0);
        if (!udp_.valid()) {
            continue;
        }
        port_ = portOf(udp_.fd());
        tcp_ = boundSocket(SOCK_STREAM, port_);
    }
    otherPort_ = boundSocket(SOCK_DGRAM, 0);
    wake_ = SocketHandle(::eventfd(0, EFD_CLOEXEC));
    // A bound port that does not listen answers connections with a refusal.
    const bool ready = tcpMode_ == Tcp::refusing || ::listen(tcp_.fd(), 8) == 0;
    if (!tcp_.valid() || !ready || !otherPort_.valid() || !wake_.valid()) {
        throw std::runtime_error("scripted DNS server: cannot bind on 127.0.0.1");
    }
    thread_ = std::thread([this] { serve(); });
}

ScriptedDnsServer::~ScriptedDnsServer() {
    std::uint64_t one = 1;
    ::write(wake_.fd(), &one, sizeof one);
    thread_.join();
}

std::string ScriptedDnsServer::setting() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::vector<ReceivedQuery> ScriptedDnsServer::queries() const {
    awaitDrained();
    std::lock_guard lock(mutex_);
    return queries_;
}

void ScriptedDnsServer::awaitDrained() const {
    // A client's last datagram may still wait in the socket when the client has already given
    // up; on a loaded machine the serving thread reads it a little later. Counting before then
    // would miss a try that was made.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int waiting = 0;
    while (::ioctl(udp_.fd(), FIONREAD, &waiting) == 0 && waiting > 0 &&
           std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::size_t ScriptedDnsServer::udpQueryCount() const {
    awaitDrained();
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(queries_.begin(), queries_.end(), [](auto& q) { return !q.overTcp; }));
}

std::size_t ScriptedDnsServer::tcpQueryCount() const {
    return queries().size() - udpQueryCount();
}

void ScriptedDnsServer::record(const std::vector<std::uint8_t>& message, bool overTcp,
                               std::uint16_t sourcePort) {
    std::lock_guard lock(mutex_);
    queries_.push_back({message, overTcp, sourcePort});
}

void ScriptedDnsServer::serve() {
    const auto end = std::chrono::steady_clock::now() + kLifetimeCap;
    while (std::chrono::steady_clock::now() < end) {
        pollfd fds[3] = {{wake_.fd(), POLLIN, 0}, {udp_.fd(), POLLIN, 0}, {tcp_.fd(), POLLIN, 0}};
        const nfds_t watched = tcpMode_ == Tcp::listening ? 3 : 2;
        if (::poll(fds, watched, 100) < 0 || (fds[0].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            answerDatagram();
        }
        if ((fds[2].revents & POLLIN) != 0) {
            answerConnection();
        }
    }
}

void ScriptedDnsServer::answerDatagram() {
    Bytes query(65536);
    sockaddr_in client{};
    socklen_t length = sizeof client;
    ssize_t got = ::recvfrom(udp_.fd(), query.data(), query.size(), 0,
                             reinterpret_cast<sockaddr*>(&client), &length);
    if (got < 0) {
        return;
    }
    query.resize(static_cast<std::size_t>(got));
    record(query, false, ntohs(client.sin_port));
    UdpResponder responder(udp_.fd(), otherPort_.fd(), client);
    udpScript_(query, responder);
}

void ScriptedDnsServer::answerConnection() {
    SocketHandle connection(::accept4(tcp_.fd(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!connection.valid()) {
        return;
    }
    setTimeouts(connection.fd(), 1000ms);
    int one = 1;
    ::setsockopt(connection.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::uint8_t prefix[2] = {};
    if (!readAll(connection.fd(), prefix)) {
        return;
    }
    Bytes query(static_cast<std::size_t>(prefix[0]) << 8 | prefix[1]);
    if (!readAll(connection.fd(), query)) {
        return;
    }
    record(query, true, 0);
    if (tcpScript_) {
        TcpResponder responder(connection.fd());
        tcpScript_(query, responder);
    }
}

std::uint16_t closedUdpPort() {
    auto socket = boundSocket(SOCK_DGRAM, 0);
    return socket.valid() ? portOf(socket.fd()) : 0;
}

}  // namespace ombrix::testing
