// The staged control as a host outside the tree meets it: registered in a store of the test's
// own, sited on a form made with Designer's entry, and queried through the typed wrapper.

#include <gtest/gtest.h>

#include <string>

#include "consumer_run.h"
#include "testing/scripted_dns_server.h"
#include "testing/temporary_registry.h"

namespace {

using consumer::ConsumerRun;
using consumer::run;
using consumer::twoExchangers;
using ombrix::testing::ScriptedDnsServer;

// The staged control, registered in a store of the test's own, as the staged tool does it.
class StagedControl : public ::testing::Test {
  protected:
    void SetUp() override {
        // The tool keeps the library it registers loaded to its end.
        const std::string tool = "env ASAN_OPTIONS=detect_leaks=0 " CONSUMER_REGISTRY_TOOL;
        ASSERT_EQ(run(tool + " register " CONSUMER_CONTROL).status, 0);
    }

    const ombrix::testing::TemporaryRegistry registry_;
};

TEST_F(StagedControl, FormsMadeWithTheDesignerEntrySiteIt) {
    for (const std::string program : {CONSUMER_CMAKE_FORM, CONSUMER_PKG_CONFIG_FORM}) {
        const ConsumerRun form = run(program);
        EXPECT_EQ(form.status, 0) << program;
        EXPECT_EQ(form.out, "sited mxquery 1.1.11\n") << program;
    }
}

TEST_F(StagedControl, HostExampleQueriesThroughIt) {
    ScriptedDnsServer server(twoExchangers);
    const ConsumerRun query = run(CONSUMER_HOST_QUERY " " + server.setting() + " example.com");
    EXPECT_EQ(query.status, 0);
    EXPECT_EQ(query.out,
              "Number of results : 2\n"
              "Best MX : mail.example.com\n"
              "[10] mail.example.com\n"
              "[20] backup.example.com\n");
}

}  // namespace
