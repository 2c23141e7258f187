// Programs built outside the tree against the staged install, through the CMake package and
// through pkg-config, look up exchangers from a scripted server.

#include <gtest/gtest.h>

#include <string>

#include "consumer_run.h"

namespace {

using consumer::ConsumerRun;
using consumer::run;
using ombrix::testing::ScriptedDnsServer;

TEST(InstalledLibrary, ProgramsBuiltAgainstItLookUpExchangers) {
    ScriptedDnsServer server(consumer::twoExchangers);
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

}  // namespace
