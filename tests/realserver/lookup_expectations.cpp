#include "tests/realserver/lookup_expectations.h"

#include <gtest/gtest.h>

#include "ombrix/lookup/mx_lookup.h"

namespace ombrix::realserver {

void PrintTo(const MxRecord& record, std::ostream* out) {
    *out << "[" << record.pref << "] " << record.server;
}

std::vector<MxRecord> numberedExchangers(const std::string& domain, int count) {
    std::vector<MxRecord> records;
    for (int i = 1; i <= count; ++i) {
        std::string label = (i < 10 ? "mx0" : "mx") + std::to_string(i);
        records.push_back({label + "." + domain, static_cast<std::uint16_t>(i * 10)});
    }
    return records;
}

void expectLookup(const ServerUnderTest& server, const std::string& domain,
                  const std::vector<MxRecord>& expected) {
    SCOPED_TRACE("lookup of " + domain + " at " + server.address());
    const lookup::MxResult result = lookup::lookupMx(server.address(), domain);
    ASSERT_FALSE(result.fault) << result.fault->description;
    std::vector<MxRecord> listed;
    for (const lookup::Exchanger& exchanger : result.exchangers) {
        listed.push_back({exchanger.name, exchanger.preference});
    }
    EXPECT_EQ(listed, expected);
}

void expectDigAgrees(const ServerUnderTest& server, const std::string& asciiDomain,
                     const std::vector<MxRecord>& expected, const std::string& status) {
    SCOPED_TRACE("dig MX " + asciiDomain + " at " + server.address());
    DigAnswer answer = digMx(server, asciiDomain);
    EXPECT_EQ(answer.status, status);
    EXPECT_EQ(expectedStore(answer), expected);
}

}  // namespace ombrix::realserver
