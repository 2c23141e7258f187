#include "tests/realserver/lookup_expectations.h"

#include <gtest/gtest.h>

#include "ombrix/lookup/resolver.h"
#include "tests/realserver/dig.h"

namespace ombrix::lookup {

void PrintTo(const MxRecord& record, std::ostream* out) {
    *out << "[" << record.pref << "] " << record.server;
}

}  // namespace ombrix::lookup

namespace ombrix::realserver {

std::vector<lookup::MxRecord> numberedExchangers(const std::string& domain, int count) {
    std::vector<lookup::MxRecord> records;
    for (int i = 1; i <= count; ++i) {
        std::string label = (i < 10 ? "mx0" : "mx") + std::to_string(i);
        records.push_back({label + "." + domain, static_cast<std::uint16_t>(i * 10)});
    }
    return records;
}

void expectLookup(const ServerUnderTest& server, const std::string& domain,
                  const std::vector<lookup::MxRecord>& expected) {
    SCOPED_TRACE("lookup of " + domain + " at " + server.address());
    lookup::MxResolver resolver;
    resolver.setServer(server.address());
    auto result = resolver.query(domain);
    ASSERT_TRUE(result.ok()) << "error " << result.error().number << " (" << result.error().source
                             << "): " << result.error().description;

    EXPECT_EQ(result.value(), std::to_string(expected.size()));
    const lookup::MxStore& store = resolver.store();
    EXPECT_EQ(store.count(), expected.size());
    EXPECT_EQ(store.best(), expected.empty() ? std::string() : expected.front().server);
    if (expected.empty()) {
        EXPECT_EQ(store.list(), std::vector<lookup::MxRecord>{lookup::MxRecord{}});
    } else {
        EXPECT_EQ(store.list(), expected);
    }
}

void expectDigAgrees(const ServerUnderTest& server, const std::string& asciiDomain,
                     const std::vector<lookup::MxRecord>& expected, const std::string& status) {
    SCOPED_TRACE("dig MX " + asciiDomain + " at " + server.address());
    DigAnswer answer = digMx(server, asciiDomain);
    EXPECT_EQ(answer.status, status);
    EXPECT_EQ(expectedStore(answer), expected);
}

}  // namespace ombrix::realserver
