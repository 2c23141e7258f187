#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "testing/mx_answer.h"
#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"
#include "tools/mxlookup_command.h"
#include "tools/resolv_conf.h"
#include "tools/tests/spawn_program.h"

namespace ombrix::tools {
namespace {

using namespace std::chrono_literals;
// The scripted server, the reply builder and the replies they share.
using namespace testing;

const ScriptedDnsServer::Script answerThree =
    answering({{20, "b.example.com"}, {65535, "last.example.com"}, {5, "a.example.com"}});

struct Run {
    int status;
    std::string out;
    std::string err;
};

Run lookup(std::vector<std::string_view> args, const std::string& resolvConf = "/nonexistent") {
    std::ostringstream out;
    std::ostringstream err;
    int status = runMxLookup(args, out, err, resolvConf, lookup::LookupOptions{200ms, 1});
    return {status, out.str(), err.str()};
}

TEST(MxLookup, PrintsWhatTheSampleWindowShows) {
    ScriptedDnsServer server(answerThree);
    const std::string at = "@" + server.setting();
    EXPECT_EQ(lookup({at, "example.com"}).out,
              "Number of results : 3\n"
              "Best MX : a.example.com\n"
              "[5] a.example.com\n"
              "[20] b.example.com\n"
              "[65535] last.example.com\n");
}

TEST(MxLookup, NoExchangersIsStillAnAnswer) {
    ScriptedDnsServer server(answering({}));
    const auto run = lookup({"@" + server.setting(), "example.com"});
    EXPECT_EQ(run.status, kExitAnswered);
    EXPECT_EQ(run.out, "Number of results : 0\nBest MX : \n");
    EXPECT_EQ(run.err, "");
}

TEST(MxLookup, ErrorsGoToStandardErrorWithNumberAndSource) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) {
        out.send(withResponseCode(mxReply(query, {}), 2));
    });
    auto run = lookup({"@" + server.setting(), "example.com"});
    EXPECT_EQ(run.status, kExitError);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Error 20000 (MXQuery): DNS server answered SERVFAIL\n");

    run = lookup({"@" + server.setting(), "bad..example"});
    EXPECT_EQ(run.status, kExitError);
    EXPECT_EQ(run.err.rfind("Error 5 (", 0), 0u) << run.err;
}

TEST(MxLookup, BadUsageShowsTheUsageLine) {
    for (const auto& args :
         std::vector<std::vector<std::string_view>>{{},
                                                    {"@"},
                                                    {"@127.0.0.1"},
                                                    {"@", "example.com"},
                                                    {"example.com", "@127.0.0.1"},
                                                    {"a.example", "b.example"},
                                                    {""},
                                                    {"--help"},
                                                    {"@1", "@2", "example.com"}}) {
        const auto run = lookup(args);
        EXPECT_EQ(run.status, kExitUsage) << ::testing::PrintToString(args);
        EXPECT_EQ(run.err, "usage: mxlookup [@SERVER] DOMAIN\n");
        EXPECT_EQ(run.out, "");
    }
}

TEST(MxLookup, WithoutServerAsksTheFirstNameserverOfResolvConf) {
    ScriptedDnsServer server(answerThree);
    const std::string conf = ::testing::TempDir() + "mxlookup_resolv.conf";
    std::ofstream(conf) << "# local\nsearch example\nnameserver " << server.setting()
                        << "\nnameserver 192.0.2.1\n";
    const auto run = lookup({"example.com"}, conf);
    std::remove(conf.c_str());
    EXPECT_EQ(run.status, kExitAnswered) << run.err;
    EXPECT_EQ(server.udpQueryCount(), 1u);
}

TEST(ResolvConf, FirstNameserverLineWins) {
    const std::pair<const char*, const char*> cases[] = {
        {"nameserver 192.0.2.1\nnameserver 192.0.2.2\n", "192.0.2.1"},
        {"; old\n#nameserver 192.0.2.9\n  nameserver\tfe80::1%eth0  \n", "fe80::1%eth0"},
        {"nameserver\nnameserver ::1\n", "::1"},
        {"search example\noptions ndots:2\n", kDefaultNameserver},
        {"", kDefaultNameserver},
    };
    for (const auto& [text, expected] : cases) {
        std::istringstream conf(text);
        EXPECT_EQ(firstNameserver(conf), expected) << text;
    }
}

// A file of the running test's own: tests run in parallel processes.
std::string scratchFile(const std::string& suffix) {
    return ::testing::TempDir() + "mxlookup_" + std::to_string(::getpid()) + "_" + suffix;
}

// The installed program, with its real exit status and output streams; standard output may
// go elsewhere (a full device) and standard input come from a file.
Run runProgram(std::vector<std::string> args, std::string outPath = {},
               const std::string& inPath = "/dev/null",
               const std::string& program = MXLOOKUP_PATH) {
    const bool capture = outPath.empty();
    if (capture) {
        outPath = scratchFile("out.txt");
    }
    const std::string errPath = scratchFile("err.txt");
    const int status = spawnProgram(program, std::move(args), {inPath, outPath, errPath});
    auto slurp = [](const std::string& path) {
        std::ostringstream text;
        text << std::ifstream(path).rdbuf();
        std::remove(path.c_str());
        return text.str();
    };
    return {status, capture ? slurp(outPath) : "", slurp(errPath)};
}

TEST(MxLookupProgram, ExitStatusAndStreams) {
    ScriptedDnsServer server(answerThree);
    auto run = runProgram({"@" + server.setting(), "example.com"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Number of results : 3\nBest MX : a.example.com\n", 0), 0u);

    run = runProgram({"@127.0.0.1:" + std::to_string(testing::closedUdpPort()), "example.com"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Error 20000 (MXQuery): Problem receiving MX query: the server refused the query "
              "(port unreachable)\n");

    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"@127.0.0.1"},
                                                                  {"example.com", "@127.0.0.1"},
                                                                  {""},
                                                                  {"--tries", "0", "x.example"}}) {
        run = runProgram(args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(run.err.find("usage: mxlookup [OPTIONS] [@SERVER] [DOMAIN...]\n"),
                  std::string::npos);
    }
    run = runProgram({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("--max-in-flight"), std::string::npos);
}

TEST(MxLookupProgram, OutputThatCannotBeWrittenIsAnError) {
    ScriptedDnsServer server(answerThree);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"@" + server.setting(), "example.com"},
             {"--json", "@" + server.setting(), "example.com", "example.com"}}) {
        const auto run = runProgram(args, "/dev/full");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.rfind("mxlookup: cannot write to standard output: ", 0), 0u) << run.err;
    }
}

TEST(MxLookupProgram, ListsGiveOneLineEachAndFailWhenAnyDomainFails) {
    ScriptedDnsServer server(answerThree);
    const std::string list = scratchFile("list.txt");
    std::ofstream(list) << "# list\nexample.com\n\n  example.com  \n";
    auto run = runProgram({"-q", "@" + server.setting(), "-f", "-", "example.com"}, {}, list);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "example.com mx 5 a.example.com, 20 b.example.com, 65535 last.example.com\n"
              "example.com mx 5 a.example.com, 20 b.example.com, 65535 last.example.com\n"
              "example.com mx 5 a.example.com, 20 b.example.com, 65535 last.example.com\n");
    EXPECT_EQ(run.err, "");

    run = runProgram({"--json", "@" + server.setting(), "example.com", "bad..example"});
    std::remove(list.c_str());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find(R"("outcome":"invalid")"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("2 domains"), std::string::npos) << run.err;
}

// The program run by the shell after `prelude` (a limit, a closed descriptor), with no
// descriptor but the standard three, whatever the test runner left open.
Run runAfter(const std::string& prelude, std::vector<std::string> args) {
    const std::string closeInherited = "for fd in 3 4 5 6 7 8 9; do eval \"exec $fd>&-\"; done";
    args.insert(args.begin(),
                {"-c", closeInherited + " && " + prelude + " && exec \"$0\" \"$@\"",
                 MXLOOKUP_PATH});
    return runProgram(std::move(args), {}, "/dev/null", "/bin/sh");
}

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(MxLookupProgram, ExhaustedResourcesEndInMessagesNotAnAbort) {
    ScriptedDnsServer server(answerThree);
    const std::string list = scratchFile("six.txt");
    std::ofstream(list) << "example.com\nexample.com\nexample.com\n"
                           "example.com\nexample.com\nexample.com\n";
    // Too few descriptors for the engine's own, for any socket, for all it would like.
    for (const char* limit : {"ulimit -n 4", "ulimit -n 5", "ulimit -n 8"}) {
        const auto run = runAfter(limit, {"--json", "-q", "@" + server.setting(), "-f", list});
        SCOPED_TRACE(limit);
        EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status;
        EXPECT_EQ(lineCount(run.out), 6u) << run.out << run.err;
        if (run.status != 0) {
            EXPECT_NE((run.out + run.err).find("Too many open files"), std::string::npos);
        }
    }
    std::remove(list.c_str());

    auto run = runProgram({"-q", "@" + server.setting(), "-f", ::testing::TempDir()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "mxlookup: cannot read " + ::testing::TempDir() + ": Is a directory\n");
    run = runAfter("exec 0<&-", {"-q", "@" + server.setting(), "-f", "-"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "mxlookup: cannot read standard input: Bad file descriptor\n");
}

// Reads what the child wrote until `lines` lines are in, waiting at most ten seconds in all.
bool awaitLines(int fd, std::string& out, std::size_t lines) {
    for (int turn = 0; turn < 200 && lineCount(out) < lines; ++turn) {
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, 50) <= 0) {
            continue;
        }
        char bytes[512];
        const ssize_t got = ::read(fd, bytes, sizeof bytes);
        if (got <= 0) {
            break;
        }
        out.append(bytes, static_cast<std::size_t>(got));
    }
    return lineCount(out) >= lines;
}

TEST(MxLookupProgram, AListFedSlowlyGetsEachLineAsSoonAsItIsComplete) {
    ScriptedDnsServer server(answerThree);
    int toChild[2] = {-1, -1};
    int fromChild[2] = {-1, -1};
    ASSERT_EQ(::pipe2(toChild, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(fromChild, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    std::string path = MXLOOKUP_PATH;
    std::vector<std::string> args{path, "-q", "@" + server.setting(), "-f", "-"};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);

    // Each piece goes only once the line before it is out: a reader that waited for more of
    // the list before asking would never answer.
    const std::vector<std::pair<std::string, std::size_t>> pieces{
        {"example.com\n", 0}, {"  exam", 1}, {"ple.com \n# note\n", 1}, {"example.com", 2}};
    std::string out;
    for (const auto& [piece, linesBefore] : pieces) {
        EXPECT_TRUE(awaitLines(fromChild[0], out, linesBefore)) << out;
        ASSERT_EQ(::write(toChild[1], piece.data(), piece.size()),
                  static_cast<ssize_t>(piece.size()));
    }
    ::close(toChild[1]);
    EXPECT_TRUE(awaitLines(fromChild[0], out, 3)) << out;
    ::close(fromChild[0]);
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // The same list from a file comes to the same lines.
    const std::string list = scratchFile("slow.txt");
    std::ofstream(list) << "example.com\n  example.com \n# note\nexample.com";
    const auto fromFile = runProgram({"-q", "@" + server.setting(), "-f", list});
    std::remove(list.c_str());
    EXPECT_EQ(fromFile.out, out);
}

}  // namespace
}  // namespace ombrix::tools
