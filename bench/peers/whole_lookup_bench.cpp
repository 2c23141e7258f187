// One whole MX lookup against the loopback server named by OMBRIX_BENCH_SERVER
// ("127.0.0.1:PORT"): our lookupMx (a fresh socket per query) against c-ares and res_nquery,
// against a bare send and receive of the same query datagram, the floor, and against that
// floor with our reply walk added.
#include <ares.h>
#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <resolv.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "bench/peers/nsd_replies.h"
#include "bench/peers/peer_parsers.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/mx_lookup.h"
#include "ombrix/lookup/mx_reply.h"
#include "ombrix/lookup/query_message.h"

namespace {

constexpr const char* kDomain = "five.mx.example";
constexpr std::size_t kExchangers = 5;

std::optional<sockaddr_in> benchServer() {
    const char* text = std::getenv("OMBRIX_BENCH_SERVER");
    if (text == nullptr) {
        return std::nullopt;
    }
    std::string server(text);
    auto colon = server.rfind(':');
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (colon == std::string::npos ||
        inet_pton(AF_INET, server.substr(0, colon).c_str(), &address.sin_addr) != 1) {
        return std::nullopt;
    }
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(server.substr(colon + 1))));
    return address;
}

bool needServer(benchmark::State& state, std::optional<sockaddr_in>& server) {
    server = benchServer();
    if (!server) {
        state.SkipWithError(
            "OMBRIX_BENCH_SERVER is not set to 127.0.0.1:PORT (bench/run.sh sets it)");
    }
    return server.has_value();
}

void lookupOurs(benchmark::State& state) {
    std::optional<sockaddr_in> server;
    if (!needServer(state, server)) {
        return;
    }
    const std::string setting = std::getenv("OMBRIX_BENCH_SERVER");
    for (auto _ : state) {
        const auto result = ombrix::lookup::lookupMx(setting, kDomain);
        if (result.exchangers.size() != kExchangers) {
            state.SkipWithError("our lookup failed");
            break;
        }
    }
}

// The forty-exchanger answer (906 octets): within the 1,232 octets the query's OPT record
// offers, so it comes in one UDP exchange; the label shows the tries and the transport.
void lookupOursForty(benchmark::State& state) {
    std::optional<sockaddr_in> server;
    if (!needServer(state, server)) {
        return;
    }
    const std::string setting = std::getenv("OMBRIX_BENCH_SERVER");
    ombrix::lookup::MxResult result;
    for (auto _ : state) {
        result = ombrix::lookup::lookupMx(setting, ombrix::bench::peers::kFortyMxDomain);
        if (result.exchangers.size() != 40) {
            state.SkipWithError("our lookup of forty exchangers failed");
            break;
        }
    }
    state.SetLabel(std::to_string(result.wire.tries) + (result.wire.tries == 1 ? " try" : " tries") +
                   (result.wire.transport == ombrix::lookup::Transport::tcp ? " over TCP"
                                                                            : " over UDP"));
}

struct CaresQuery {
    bool done = false;
    std::size_t found = 0;
};

void caresAnswered(void* arg, int status, int, unsigned char* reply, int length) {
    auto* query = static_cast<CaresQuery*>(arg);
    query->done = true;
    if (status == ARES_SUCCESS) {
        query->found = ombrix::bench::caresReadMx({reply, static_cast<std::size_t>(length)});
    }
}

// Drives the channel until the query's callback ran, with the channel's own time-outs.
void caresRun(ares_channel channel, const CaresQuery& query) {
    while (!query.done) {
        std::array<ares_socket_t, ARES_GETSOCK_MAXNUM> sockets{};
        int bits = ares_getsock(channel, sockets.data(), ARES_GETSOCK_MAXNUM);
        std::vector<pollfd> fds;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            short events = 0;
            if (ARES_GETSOCK_READABLE(bits, i))
                events |= POLLIN;
            if (ARES_GETSOCK_WRITABLE(bits, i))
                events |= POLLOUT;
            if (events != 0)
                fds.push_back({sockets[static_cast<std::size_t>(i)], events, 0});
        }
        timeval limit{};
        timeval* wait = ares_timeout(channel, nullptr, &limit);
        int ms =
            wait == nullptr ? 1000 : static_cast<int>(wait->tv_sec * 1000 + wait->tv_usec / 1000);
        int ready = poll(fds.data(), fds.size(), ms);
        if (ready <= 0) {
            ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
            continue;
        }
        for (const pollfd& fd : fds) {
            ares_process_fd(channel, (fd.revents & POLLIN) ? fd.fd : ARES_SOCKET_BAD,
                            (fd.revents & POLLOUT) ? fd.fd : ARES_SOCKET_BAD);
        }
    }
}

void lookupCares(benchmark::State& state) {
    std::optional<sockaddr_in> server;
    if (!needServer(state, server)) {
        return;
    }
    ares_library_init(ARES_LIB_INIT_ALL);
    ares_channel channel = nullptr;
    if (ares_init(&channel) != ARES_SUCCESS ||
        ares_set_servers_ports_csv(channel, std::getenv("OMBRIX_BENCH_SERVER")) != ARES_SUCCESS) {
        state.SkipWithError("cannot set up the c-ares channel");
        return;
    }
    for (auto _ : state) {
        CaresQuery query;
        ares_query(channel, kDomain, ns_c_in, ns_t_mx, caresAnswered, &query);
        caresRun(channel, query);
        if (query.found != kExchangers) {
            state.SkipWithError("the c-ares lookup failed");
            break;
        }
    }
    ares_destroy(channel);
    ares_library_cleanup();
}

void lookupResNquery(benchmark::State& state) {
    std::optional<sockaddr_in> server;
    if (!needServer(state, server)) {
        return;
    }
    struct __res_state resolver {};
    if (res_ninit(&resolver) != 0) {
        state.SkipWithError("res_ninit failed");
        return;
    }
    resolver.nscount = 1;
    resolver.nsaddr_list[0] = *server;
    std::array<unsigned char, 4096> reply{};
    for (auto _ : state) {
        int length = res_nquery(&resolver, kDomain, ns_c_in, ns_t_mx, reply.data(),
                                static_cast<int>(reply.size()));
        if (length <= 0 || ombrix::bench::libresolvReadMx(
                               {reply.data(), static_cast<std::size_t>(length)}) != kExchangers) {
            state.SkipWithError("res_nquery failed");
            break;
        }
    }
    res_nclose(&resolver);
}

std::vector<std::uint8_t> queryDatagram() {
    auto qname = ombrix::lookup::encodeDomain(kDomain);
    return ombrix::lookup::buildMxQuery(4575, qname.value());
}

int connectedSocket(const sockaddr_in& server) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    timeval limit{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server);
    return fd;
}

// The reply's length, or 0 when the exchange failed.
std::size_t roundTrip(int fd, const std::vector<std::uint8_t>& query,
                      std::array<std::uint8_t, 2049>& reply) {
    if (send(fd, query.data(), query.size(), 0) != static_cast<ssize_t>(query.size())) {
        return 0;
    }
    const ssize_t got = recv(fd, reply.data(), reply.size(), 0);
    return got > 12 ? static_cast<std::size_t>(got) : 0;
}

// The floor: one connected socket, the same datagram sent and its reply received.
void lookupRaw(benchmark::State& state) {
    std::optional<sockaddr_in> server;
    if (!needServer(state, server)) {
        return;
    }
    auto query = queryDatagram();
    std::array<std::uint8_t, 2049> reply{};
    int fd = connectedSocket(*server);
    for (auto _ : state) {
        if (roundTrip(fd, query, reply) == 0) {
            state.SkipWithError("the raw round trip failed");
            break;
        }
    }
    close(fd);
}

// The floor plus what a fresh socket per query costs: socket, connect and close; with `walk`,
// also our walk of the reply into the typed result, what a lookup that gives our result costs
// at the least before any bookkeeping of its own.
void rawFreshSocket(benchmark::State& state, bool walk) {
    std::optional<sockaddr_in> server;
    if (!needServer(state, server)) {
        return;
    }
    const auto qname = ombrix::lookup::encodeDomain(kDomain).value();
    auto query = queryDatagram();
    std::array<std::uint8_t, 2049> reply{};
    for (auto _ : state) {
        int fd = connectedSocket(*server);
        const std::size_t length = roundTrip(fd, query, reply);
        close(fd);
        const bool ok =
            walk ? ombrix::lookup::readMxReply({reply.data(), length}, qname).exchangers.size() ==
                       kExchangers
                 : length != 0;
        if (!ok) {
            state.SkipWithError("the raw round trip failed");
            break;
        }
    }
}

void lookupRawFreshSocket(benchmark::State& state) {
    rawFreshSocket(state, false);
}

void lookupRawFreshSocketAndWalk(benchmark::State& state) {
    rawFreshSocket(state, true);
}

BENCHMARK(lookupOurs)->Name("lookup/ours");
BENCHMARK(lookupOursForty)->Name("lookup/ours_forty");
BENCHMARK(lookupCares)->Name("lookup/c-ares");
BENCHMARK(lookupResNquery)->Name("lookup/res_nquery");
BENCHMARK(lookupRaw)->Name("lookup/raw");
BENCHMARK(lookupRawFreshSocket)->Name("lookup/raw_fresh_socket");
BENCHMARK(lookupRawFreshSocketAndWalk)->Name("lookup/raw_fresh_socket_and_walk");

}  // namespace
