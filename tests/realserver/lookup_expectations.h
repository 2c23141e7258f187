#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ombrix/lookup/mx_store.h"
#include "tests/realserver/server_under_test.h"

namespace ombrix::lookup {

void PrintTo(const MxRecord& record, std::ostream* out);

}  // namespace ombrix::lookup

namespace ombrix::realserver {

// mx01.DOMAIN with preference 10, mx02.DOMAIN with 20, ... up to count.
std::vector<lookup::MxRecord> numberedExchangers(const std::string& domain, int count);

// One lookup through the resolver with the whole result checked: the count text, the store's
// count, the best exchanger and every entry in order. An empty list expects the single empty
// entry that stands for "nothing found".
void expectLookup(const ServerUnderTest& server, const std::string& domain,
                  const std::vector<lookup::MxRecord>& expected);

// The server itself says what the zone says, as dig sees it: the list a lookup should hold
// for asciiDomain equals expected, and the response code is status.
void expectDigAgrees(const ServerUnderTest& server, const std::string& asciiDomain,
                     const std::vector<lookup::MxRecord>& expected,
                     const std::string& status = "NOERROR");

// Lookups against the server that this executable's fixture started.
class RealServerLookup : public ::testing::Test {
  protected:
    // Both dig and our lookup must find what the zone says.
    void check(const std::string& domain, const std::vector<lookup::MxRecord>& expected,
               const std::string& status = "NOERROR") {
        expectDigAgrees(server, domain, expected, status);
        expectLookup(server, domain, expected);
    }

    ServerUnderTest server = serverUnderTest();
};

}  // namespace ombrix::realserver
