// Programs built outside the tree against the staged install, once through the CMake package
// and once through pkg-config, look up exchangers from a scripted server.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

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
ConsumerRun runConsumer(const std::string& program, const std::string& server) {
    const std::string command =
        "LD_LIBRARY_PATH=" CONSUMER_LIBDIR " timeout 30 " + program + " " + server + " example.com";
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

TEST(InstalledLibrary, ProgramsBuiltAgainstItLookUpExchangers) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) {
        out.send(ReplyBuilder("example.com", idOf(query))
                     .mx(20, name("backup.example.com"))
                     .mx(10, name("mail.example.com"))
                     .bytes());
    });
    for (const std::string program : {CONSUMER_CMAKE_PROGRAM, CONSUMER_PKG_CONFIG_PROGRAM}) {
        const ConsumerRun run = runConsumer(program, server.setting());
        EXPECT_EQ(run.status, 0) << program;
        EXPECT_EQ(run.out,
                  "2 exchangers\n"
                  "10 mail.example.com\n"
                  "20 backup.example.com\n")
            << program;
    }
}

}  // namespace
