// Programs built outside the tree against the staged install, through the CMake package and
// through pkg-config: they look up exchangers from a scripted server, directly or through the
// staged control, and site the control on a form made with Designer's entry.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"
#include "testing/temporary_registry.h"

namespace {

using ombrix::testing::Bytes;
using ombrix::testing::idOf;
using ombrix::testing::name;
using ombrix::testing::ReplyBuilder;
using ombrix::testing::Responder;
using ombrix::testing::ScriptedDnsServer;

struct ConsumerRun {
    int status = -1;
    std::string out;
};

// Runs a consumer with only the staged libraries to link against, bounded in time.
ConsumerRun run(const std::string& arguments) {
    const std::string command = "LD_LIBRARY_PATH=" CONSUMER_LIBDIR
                                " QT_QPA_PLATFORM=offscreen timeout 30 " + arguments;
    ConsumerRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.out += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Answers every query with two exchangers of example.com, the better one second.
void twoExchangers(const Bytes& query, Responder& out) {
    out.send(ReplyBuilder("example.com", idOf(query))
                 .mx(20, name("backup.example.com"))
                 .mx(10, name("mail.example.com"))
                 .bytes());
}

TEST(InstalledLibrary, ProgramsBuiltAgainstItLookUpExchangers) {
    ScriptedDnsServer server(twoExchangers);
    for (const std::string program : {CONSUMER_CMAKE_PROGRAM, CONSUMER_PKG_CONFIG_PROGRAM}) {
        const ConsumerRun lookup = run(program + " " + server.setting() + " example.com");
        EXPECT_EQ(lookup.status, 0) << program;
        EXPECT_EQ(lookup.out,
                  "2 exchangers\n"
                  "10 mail.example.com\n"
                  "20 backup.example.com\n")
            << program;
    }
}

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
