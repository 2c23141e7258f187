#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/realserver/dig.h"
#include "tests/realserver/server_under_test.h"

namespace ombrix::realserver {

// mx01.DOMAIN with preference 10, mx02.DOMAIN with 20, ... up to count.
std::vector<MxRecord> numberedExchangers(const std::string& domain, int count);

// One lookup with the exchangers checked in order, names and preferences.
void expectLookup(const ServerUnderTest& server, const std::string& domain,
                  const std::vector<MxRecord>& expected);

// The server itself says what the zone says, as dig sees it: the list a lookup should hold
// for asciiDomain equals expected, and the response code is status.
void expectDigAgrees(const ServerUnderTest& server, const std::string& asciiDomain,
                     const std::vector<MxRecord>& expected, const std::string& status = "NOERROR");

// Lookups against the server that this executable's fixture started.
class RealServerLookup : public ::testing::Test {
  protected:
    // Both dig and our lookup must find what the zone says.
    void check(const std::string& domain, const std::vector<MxRecord>& expected,
               const std::string& status = "NOERROR") {
        expectDigAgrees(server, domain, expected, status);
        expectLookup(server, domain, expected);
    }

    ServerUnderTest server = serverUnderTest();
};

}  // namespace ombrix::realserver
