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
#include <limits>
#include <sstream>

#include "testing/mx_answer.h"
#include "testing/query_view.h"
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

TEST(MxLookup, AnswersWithoutExchangersSayWhichTheyAre) {
    const std::pair<Bytes, std::string> cases[] = {
        {ReplyBuilder("example.com").bytes(), "no_mx"},
        {withResponseCode(ReplyBuilder("example.com").bytes(), 3), "nxdomain"},
        {ReplyBuilder("example.com").mx(0, name("")).bytes(), "null_mx"},
    };
    for (const auto& [reply, outcome] : cases) {
        ScriptedDnsServer server([&reply = reply](const Bytes& query, Responder& out) {
            auto answer = reply;
            std::copy_n(query.begin(), 2, answer.begin());  // the query's ID
            out.send(answer);
        });
        const auto run = lookup({"@" + server.setting(), "example.com"});
        EXPECT_EQ(run.status, kExitAnswered);
        EXPECT_EQ(run.out, "Number of results : 0\nBest MX : \nOutcome : " + outcome + "\n");
        EXPECT_EQ(run.err, "");
    }
}

TEST(MxLookup, ErrorsGoToStandardErrorWithNumberAndSource) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) {
        out.send(withResponseCode(mxReply(query, {}), 2));
    });
    auto run = lookup({"@" + server.setting(), "example.com"});
    EXPECT_EQ(run.status, kExitError);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Error 20000 (MXQuery): DNS server answered SERVFAIL; server asked: " +
                           server.setting() + "\n");

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

TEST(ResolvConf, EveryNameserverInOrderOrTheLoopbackAddress) {
    using List = std::vector<std::string>;
    const std::pair<const char*, List> cases[] = {
        {"nameserver 192.0.2.1\nnameserver 192.0.2.2\n", {"192.0.2.1", "192.0.2.2"}},
        {"; old\n#nameserver 192.0.2.9\n  nameserver\tfe80::1%eth0  \n", {"fe80::1%eth0"}},
        {"nameserver\nnameserver ::1\n", {"::1"}},
        {"search example\noptions ndots:2\n", {kDefaultNameserver}},
        {"", {kDefaultNameserver}},
    };
    for (const auto& [text, expected] : cases) {
        std::istringstream conf(text);
        EXPECT_EQ(nameservers(conf), expected) << text;
    }
}

// A file of the running test's own: tests run in parallel processes.
std::string scratchFile(const std::string& suffix) {
    return ::testing::TempDir() + "mxlookup_" + std::to_string(::getpid()) + "_" + suffix;
}

// The installed program (or another that runs it), with its real exit status and output
// streams; standard output may go elsewhere (a full device) and standard input come from a file.
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

    const auto closed = "127.0.0.1:" + std::to_string(testing::closedUdpPort());
    run = runProgram({"@" + closed, "example.com"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Error 20000 (MXQuery): Problem receiving MX query: the server refused the query "
              "(port unreachable); server asked: " +
                  closed + "\n");

    // The server may follow the domain, as it may in other DNS clients.
    run = runProgram({"example.com", "@" + server.setting()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("Number of results : 3\n", 0), 0u);

    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"@127.0.0.1"}, {""}, {"--tries", "0", "x.example"}}) {
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

// Any name asked gets one exchanger: the question is echoed back with an MX answer that
// points at it, and whatever followed the question is left out.
void answerAnyName(const Bytes& query, Responder& out) {
    std::size_t end = 12;
    while (end < query.size() && query[end] != 0) {
        end += query[end] + 1u;
    }
    Bytes reply(query.begin(), query.begin() + static_cast<std::ptrdiff_t>(end + 5));
    reply[2] = 0x81;
    reply[3] = 0x80;
    reply[7] = 1;
    reply[11] = 0;
    const Bytes answer{0xC0, 12, 0, 15, 0, 1,   0,   0, 0x0E, 0x10,
                       0,    8,  0, 10, 2, 'm', 'x', 1, 'x',  0};
    reply.insert(reply.end(), answer.begin(), answer.end());
    out.send(reply);
}

std::string writeList(const std::string& suffix, const std::string& text) {
    const auto path = scratchFile(suffix);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(MxLookupProgram, EveryLineOfABadListEndsInALineOrAMessage) {
    ScriptedDnsServer server(answerAnyName);
    // Blanks never push a domain out of sight, and long blank or comment lines stay skipped.
    const std::string blanks(5000, ' ');
    const std::string huge(5000, 'a');
    auto list = writeList("long.txt", "ok.example\n" + blanks + "hidden.example\n# note\n\n" +
                                          huge + "\n" + blanks + "\n#" + huge + "\n");
    auto run = runProgram({"--json", "@" + server.setting(), "-f", list});
    std::remove(list.c_str());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3);
    EXPECT_TRUE(contains(run.out, R"({"domain":"hidden.example","outcome":"invalid")")) << run.out;
    EXPECT_TRUE(contains(run.out, "line 2 of the list is longer than 4096 bytes"));
    EXPECT_TRUE(contains(run.out, "line 5 of the list is longer than 4096 bytes"));
    EXPECT_TRUE(contains(run.err, "3 domains in")) << run.err;
    EXPECT_TRUE(contains(run.err, "invalid 2"));
    EXPECT_TRUE(contains(run.err, "list: 7 lines read, 4 skipped (blank or comment), 3 reported"));

    // A list that never ends its line (a device of zeros): the lines before it, then an error.
    list = writeList("zeros.txt", "first.example\n" + std::string(2 << 20, '\0'));
    run = runProgram({"-q", "@" + server.setting(), "-f", list});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "first.example mx 10 mx.x\n");
    EXPECT_EQ(run.err, "mxlookup: line 2 of " + list +
                           " has no end within 1048576 bytes: not a list of domains, reading "
                           "stopped there\n");
    std::remove(list.c_str());

    run = runProgram({"@" + server.setting(), "-f", "/nonexistent/list"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "mxlookup: cannot read /nonexistent/list: No such file or directory\n");
    run = runProgram({"--json", "@" + server.setting(), "one.example"});
    EXPECT_TRUE(contains(run.err, "1 domain in")) << run.err;
}

TEST(MxLookupProgram, AReaderThatLeavesEarlyEndsTheRunQuietly) {
    ScriptedDnsServer server(answerAnyName);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const auto err = scratchFile("gone.txt");
    const int status =
        spawnProgram(MXLOOKUP_PATH, {"@" + server.setting(), "a.example", "b.example"},
                     {"/dev/null", {}, err, ends[1]});
    ::close(ends[1]);
    std::ostringstream said;
    said << std::ifstream(err).rdbuf();
    std::remove(err.c_str());
    EXPECT_EQ(status, 1);
    EXPECT_EQ(said.str(), "");
}

// The local form of a list spread over machines: parts of one list run by separate processes,
// their JSON lines put together, hold every domain exactly once.
TEST(MxLookupProgram, PartsOfAListRunApartGiveEveryDomainOnce) {
    ScriptedDnsServer server(answerAnyName);
    std::string text;
    std::vector<std::string> domains;
    for (int i = 0; i < 400; ++i) {
        domains.push_back("d" + std::to_string(i) + ".example");
        text += domains.back() + "\n";
    }
    const auto list = writeList("parts.txt", text);
    const auto jobs = scratchFile("jobs.txt");
    const auto run =
        runProgram({"--will-cite", "--pipepart", "-a", list, "--block", "-1", "-j2", "--joblog",
                    jobs, MXLOOKUP_PATH, "--json", "-q", "@" + server.setting(), "-f", "-"},
                   {}, "/dev/null", "/usr/bin/parallel");
    std::ifstream jobLog(jobs);
    const auto jobLines = std::count(std::istreambuf_iterator<char>(jobLog), {}, '\n');
    std::remove(list.c_str());
    std::remove(jobs.c_str());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(jobLines, 3) << "a heading and two jobs";
    std::vector<std::string> seen;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const auto start = line.find(R"("domain":")") + 10;
        seen.push_back(line.substr(start, line.find('"', start) - start));
    }
    std::sort(seen.begin(), seen.end());
    std::sort(domains.begin(), domains.end());
    EXPECT_EQ(seen, domains);
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

// The sanitizers' runtime needs descriptors of its own (a pipe for each type check), so a
// program starved of them fails inside the runtime before it shows its own behaviour.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

TEST(MxLookupProgram, TooFewDescriptorsEndInMessagesNotAnAbort) {
    if (kSanitized) {
        GTEST_SKIP() << "descriptor limits starve the sanitizer runtime; checked in the plain build";
    }
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
}

TEST(MxLookupProgram, AListThatCannotBeReadIsAUsageError) {
    ScriptedDnsServer server(answerThree);
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

std::string fileText(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The first word of a text line, or the domain of a JSON line.
std::string domainOfLine(const std::string& line) {
    if (!line.starts_with('{')) {
        return line.substr(0, line.find(' '));
    }
    const auto start = line.find(R"("domain":")") + 10;
    return line.substr(start, line.find('"', start) - start);
}

// The fast domains are answered at once, the others never: a run stopped by a signal has
// lines for the first, and the rest (in flight or not yet read) are kept or counted.
TEST(MxLookupProgram, ASignalEndsTheRunWithWholeLinesAndKeepsTheRest) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) {
        const auto asked = readQuery(query);
        if (asked.name.starts_with("fast")) {
            out.send(ReplyBuilder(asked.name, asked.id).mx(10, name("mx.example")).bytes());
        }
    });
    std::vector<std::string> domains;
    std::string text;
    for (int i = 0; i < 200; ++i) {
        domains.push_back((i % 20 < 3 ? "fast" : "slow") + std::to_string(i) + ".example");
        text += domains.back() + (i % 50 == 0 ? "\n# a comment\n" : "\n");
    }
    const auto list = scratchFile("signal-list.txt");
    std::ofstream(list) << text;
    const struct {
        int signal;
        int status;
        bool json;
        bool keep;
    } cases[] = {
        {SIGINT, 130, true, true}, {SIGTERM, 143, false, false}, {SIGHUP, 129, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signal);
        const auto unfinished = scratchFile("unfinished.txt");
        const auto errPath = scratchFile("signal-err.txt");
        std::vector<std::string> args{
            "--max-in-flight",      "30", "--timeout", "20", "--tries", "1",
            "@" + server.setting(), "-f", list};
        if (c.json) {
            args.push_back("--json");
        }
        if (c.keep) {
            args.insert(args.end(), {"--unfinished", unfinished});
        }
        int fromChild[2] = {-1, -1};
        ASSERT_EQ(::pipe2(fromChild, O_CLOEXEC), 0);
        const pid_t child =
            startProgram(MXLOOKUP_PATH, args, {"/dev/null", {}, errPath, fromChild[1]});
        ::close(fromChild[1]);
        ASSERT_GT(child, 0);
        std::string out;
        // The fast domains among the first thirty asked: five of them.
        EXPECT_TRUE(awaitLines(fromChild[0], out, 5)) << out;
        ::kill(child, c.signal);
        // Until the child closes its end.
        awaitLines(fromChild[0], out, std::numeric_limits<std::size_t>::max());
        ::close(fromChild[0]);
        EXPECT_EQ(waitForProgram(child), c.status);
        const auto err = fileText(errPath);

        ASSERT_TRUE(out.empty() || out.back() == '\n') << "a line cut short";
        std::vector<std::string> seen;
        for (const auto& line : linesOf(out)) {
            EXPECT_TRUE(line.starts_with("fast") || line.starts_with(R"({"domain":"fast)")) << line;
            seen.push_back(domainOfLine(line));
        }
        const auto left = c.keep ? linesOf(fileText(unfinished)) : std::vector<std::string>{};
        // What is left keeps the list's order.
        EXPECT_TRUE(std::is_sorted(left.begin(), left.end(), [&](const auto& a, const auto& b) {
            return std::find(domains.begin(), domains.end(), a) <
                   std::find(domains.begin(), domains.end(), b);
        }));
        const auto count = std::to_string(domains.size() - seen.size());
        if (c.keep) {
            seen.insert(seen.end(), left.begin(), left.end());
            std::sort(seen.begin(), seen.end());
            auto all = domains;
            std::sort(all.begin(), all.end());
            EXPECT_EQ(seen, all);
            EXPECT_NE(err.find(count + " domains unfinished, written to " + unfinished),
                      std::string::npos)
                << err;
        } else {
            EXPECT_NE(err.find(count + " domains unfinished (in flight or not yet read); "
                                       "--unfinished FILE keeps them"),
                      std::string::npos)
                << err;
        }
        std::remove(unfinished.c_str());
        std::remove(errPath.c_str());
    }
    std::remove(list.c_str());
}

TEST(MxLookupProgram, ServersFromAFileShareTheList) {
    ScriptedDnsServer server(answerAnyName);
    const auto closed = "127.0.0.1:" + std::to_string(testing::closedUdpPort());
    const auto servers =
        writeList("servers.txt", "# resolvers\n  @" + closed + "  # refuses\n\n" +
                                     server.setting() + " --rate 2000\n");
    const auto list = writeList("shared.txt", "a.example\nb.example\nc.example\n");
    auto run = runProgram({"--servers", servers, "-f", list});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.size(), 3 * std::string("a.example mx 10 mx.x\n").size()) << run.out;
    for (const auto& named : {closed, server.setting()}) {
        EXPECT_TRUE(contains(run.err, "server " + named + ": ")) << run.err;
    }
    run = runProgram({"--servers", list + ".missing", "x.example"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "mxlookup: cannot read " + list + ".missing: No such file or directory\n");
    for (const auto& [line, why] : std::vector<std::pair<std::string, std::string>>{
             {"@127.0.0.1 --rate 0", "--rate needs queries a second from 0.1 to 10000000, not \"0\""},
             {"@127.0.0.1 --rate=1e3 --rate 5", "--rate is given twice"},
             {"@127.0.0.1 fast", "\"fast\" is not \"--rate N\""}}) {
        const auto bad = writeList("bad-servers.txt", "# resolvers\n" + line + "\n");
        run = runProgram({"--servers", bad, "x.example"});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "mxlookup: " + bad + ", line 2: " + why + "\n");
        std::remove(bad.c_str());
    }
    std::remove(servers.c_str());
    std::remove(list.c_str());
}

// Two servers that refuse everything: set aside at once, and past a domain's budget the rest
// of the list ends without waiting, kept for a later run.
TEST(MxLookupProgram, WhenEveryServerIsSetAsideTheRestEndsAtOnceAndIsKept) {
    const auto closed = [] { return "@127.0.0.1:" + std::to_string(testing::closedUdpPort()); };
    std::string text;
    for (int i = 0; i < 400; ++i) {
        text += "d" + std::to_string(i) + ".example\n";
    }
    const auto list = writeList("aside.txt", text);
    const auto kept = scratchFile("aside-kept.txt");
    const auto run = runProgram({closed(), closed(), "--timeout", "0.02", "--tries", "2", "--rate",
                                 "800", "--json", "-f", list, "--unfinished", kept});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(lineCount(run.out), 400u);
    const auto left = linesOf(fileText(kept));
    std::remove(list.c_str());
    std::remove(kept.c_str());
    ASSERT_FALSE(left.empty()) << run.err;
    for (const auto& domain : left) {
        EXPECT_TRUE(contains(run.out, R"({"domain":")" + domain + R"(","outcome":"timeout")"))
            << domain;
    }
    EXPECT_TRUE(contains(run.out, "every server has been set aside")) << run.out;
    EXPECT_TRUE(
        contains(run.err, std::to_string(left.size()) +
                              " domains ended while every server was set aside, written to "))
        << run.err;
}

}  // namespace
}  // namespace ombrix::tools
