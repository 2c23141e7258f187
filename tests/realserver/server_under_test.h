#pragma once

#include <string>

namespace ombrix::realserver {

// The DNS server a test executable runs against: the CTest fixture started it and recorded
// its port in the run directory named by OMBRIX_SERVER_RUNDIR.
struct ServerUnderTest {
    std::string host = "127.0.0.1";
    int port = 0;

    // "127.0.0.1:PORT", as the resolver takes it.
    std::string address() const;
};

// Throws when the fixture did not run or left no port: the test fails instead of skipping.
ServerUnderTest serverUnderTest();

}  // namespace ombrix::realserver
