#include <sys/wait.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "testing/query_view.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"

namespace ombrix::lookup {
namespace {

using namespace testing;

struct Run {
    int status = -1;
    std::multiset<std::string> lines;  // in whatever order the lookups completed
};

Run runExample(const std::string& arguments) {
    Run run;
    FILE* out = ::popen((std::string(MANY_LOOKUPS_PATH) + " " + arguments).c_str(), "r");
    if (out == nullptr) {
        return run;
    }
    std::string line;
    for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) {
        if (c == '\n') {
            run.lines.insert(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    const int status = ::pclose(out);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(ManyLookupsExample, PrintsOneLinePerDomainAndFailsWhenAnyIsUnanswered) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) {
        const bool nx = readQuery(query).name == "nx.example";
        ReplyBuilder reply(nx ? "nx.example" : "mail.example", idOf(query));
        if (nx) {
            out.send(withResponseCode(reply.bytes(), 3));
        } else {
            out.send(reply.mx(20, name("b.mail.example")).mx(10, name("a.mail.example")).bytes());
        }
    });
    auto run = runExample(server.setting() + " mail.example nx.example");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines, (std::multiset<std::string>{"mail.example mx a.mail.example b.mail.example",
                                                     "nx.example nxdomain"}));
    run = runExample(server.setting() + " mail.example bad..example");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.lines.count("bad..example invalid"), 1u);
}

}  // namespace
}  // namespace ombrix::lookup
