// Run in namespaces of its own (unshare -nm, or -rnm when not root): the system resolver is
// pointed at a DNS server on 127.0.0.1 that never answers, which keeps getaddrinfo waiting for many
// seconds. A lookup naming its server by host name must still end with its own budget, saying that
// resolving the name ran out of time. Exit status 0 when it does.
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "ombrix/lookup/mx_lookup.h"
#include "socket_handle.h"

namespace {

using ombrix::lookup::SocketHandle;

bool fail(const std::string& what) {
    std::fprintf(stderr, "bounded_resolution_probe: %s: %s\n", what.c_str(), std::strerror(errno));
    return false;
}

// A fresh network namespace has its loopback interface down.
bool bringLoopbackUp() {
    SocketHandle control(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    if (!control.valid() || ::ioctl(control.fd(), SIOCGIFFLAGS, &request) != 0) {
        return fail("reading the loopback flags");
    }
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    return ::ioctl(control.fd(), SIOCSIFFLAGS, &request) == 0 || fail("bringing loopback up");
}

// The resolver configuration, in this mount namespace only.
bool pointResolverAtLoopback(const std::string& file) {
    std::ofstream(file) << "nameserver 127.0.0.1\n";
    return ::mount(file.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) == 0 ||
           fail("mounting " + file + " over /etc/resolv.conf");
}

// A DNS server that takes every query and answers none.
SocketHandle silentServer() {
    SocketHandle server(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!server.valid() ||
        ::bind(server.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        fail("binding 127.0.0.1:53");
        return SocketHandle();
    }
    return server;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: unshare -nm bounded_resolution_probe SCRATCH_FILE\n");
        return 2;
    }
    if (!bringLoopbackUp() || !pointResolverAtLoopback(argv[1])) {
        return 1;
    }
    const SocketHandle server = silentServer();
    if (!server.valid()) {
        return 1;
    }
    using namespace std::chrono_literals;
    const auto result = ombrix::lookup::lookupMx("unanswered-name.example", "example.com",
                                                 ombrix::lookup::LookupOptions{100ms, 2});
    const std::string expected =
        "Cannot resolve DNS server \"unanswered-name.example\": no answer before the lookup's "
        "time ran out";
    if (!result.fault || result.fault->description != expected) {
        std::fprintf(stderr, "expected \"%s\", got \"%s\"\n", expected.c_str(),
                     result.fault ? result.fault->description.c_str() : "no fault");
        return 1;
    }
    std::printf("the lookup ended with its budget: %s\n", expected.c_str());
    return 0;
}
