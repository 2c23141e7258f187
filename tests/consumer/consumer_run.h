#pragma once

// What the consumer tests share: running a program built against the stage, and a scripted
// answer it can look up.

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace consumer {

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
inline ConsumerRun run(const std::string& arguments) {
    const std::string command =
        "LD_LIBRARY_PATH=" CONSUMER_LIBDIR " QT_QPA_PLATFORM=offscreen timeout 30 " + arguments;
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
inline void twoExchangers(const Bytes& query, Responder& out) {
    out.send(ReplyBuilder("example.com", idOf(query))
                 .mx(20, name("backup.example.com"))
                 .mx(10, name("mail.example.com"))
                 .bytes());
}

}  // namespace consumer
