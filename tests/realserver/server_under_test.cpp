#include "tests/realserver/server_under_test.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace ombrix::realserver {

std::string ServerUnderTest::address() const {
    return host + ":" + std::to_string(port);
}

ServerUnderTest serverUnderTest() {
    const char* rundir = std::getenv("OMBRIX_SERVER_RUNDIR");
    if (rundir == nullptr) {
        throw std::runtime_error("OMBRIX_SERVER_RUNDIR is not set: run these tests through ctest");
    }
    std::ifstream portFile(std::string(rundir) + "/port");
    ServerUnderTest server;
    if (!(portFile >> server.port) || server.port <= 0 || server.port > 65535) {
        throw std::runtime_error(std::string("no server port in ") + rundir +
                                 "/port: the server's start fixture failed");
    }
    return server;
}

}  // namespace ombrix::realserver
