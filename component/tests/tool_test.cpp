// The component-registry tool, run as a user runs it.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "counter_server_support.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::filesystem::path& p) {
    std::ostringstream text;
    text << std::ifstream(p).rdbuf();
    return text.str();
}

// Runs the tool with a bound on its time; `tag` keeps the outputs of parallel runs apart.
std::string command(const TemporaryRegistry& registry, const std::string& args,
                    const std::string& tag) {
    const auto dir = registry.directory();
    return "timeout 30 " + kRegistryTool + " " + args + " >" + (dir / (tag + ".out")).string() +
           " 2>" + (dir / (tag + ".err")).string();
}

ToolRun collect(const TemporaryRegistry& registry, int status, const std::string& tag) {
    const auto dir = registry.directory();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / (tag + ".out")),
            slurp(dir / (tag + ".err"))};
}

ToolRun runTool(const TemporaryRegistry& registry, const std::string& args) {
    const int status = std::system(command(registry, args, "run").c_str());
    return collect(registry, status, "run");
}

const std::string kCounterDescription =
    R"(library CounterLib {3F0A1B2C-0003-4000-8000-000000000003} 2.5 "Counter for tests"

class counter {3F0A1B2C-0004-4000-8000-000000000004} control
    progId Test.counter
    interface _counter
    events __counter

interface _counter {3F0A1B2C-0001-4000-8000-000000000001}
    0x40030001 property Count: Int16 get put
    0x40030002 property Name: String get
    0x60030001 method Sum(a: Int16, b: Int16): Int16
    0x60030002 method Echo(text: String): String
    0x60030003 method Wide(value: Int32): Int32
    0x60030004 method Bump(ref value: Int16)
    0x60030005 method Peek(ref index: Int16): Int16
    0x60030006 method Fail(): Variant
    0x60030007 method Events(): String
    0x60030008 method OpenForm(): Variant
    0x60030009 method FormCount(): Int32

events __counter {3F0A1B2C-0002-4000-8000-000000000002}
    (no members)

record TALLY
    Label: String
    Value: Int16

record TALLIES
    Items: TALLY[]
    Total: Int32
)";

TEST(RegistryTool, RegistersListsDescribesAndUnregisters) {
    TemporaryRegistry registry;

    // Registered under the name it was given: a link to the current build stays a link.
    const auto link = registry.directory() / "libcounter.so";
    std::filesystem::create_symlink(kCounterServer, link);
    const ToolRun registered = runTool(registry, "register " + link.string());
    ASSERT_EQ(registered.exitCode, 0) << registered.err;

    const ToolRun listed = runTool(registry, "list");
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out,
              "Test.counter\t{3F0A1B2C-0004-4000-8000-000000000004}\t"
              "{3F0A1B2C-0003-4000-8000-000000000003}\t" +
                  link.string() + "\t" + registry.file().string() + "\n");

    for (const std::string& subject : {std::string("Test.counter"), kCounterServer}) {
        const ToolRun described = runTool(registry, "describe " + subject);
        EXPECT_EQ(described.exitCode, 0) << described.err;
        EXPECT_EQ(described.out, kCounterDescription);
    }

    ASSERT_EQ(runTool(registry, "unregister " + kCounterServer).exitCode, 0);
    const ToolRun empty = runTool(registry, "list");
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(empty.err, "Nothing is registered in the store " + registry.file().string() +
                             " and the drop-in folders " + registry.systemFolder(0).string() +
                             ", " + registry.systemFolder(1).string() + ".\n");
}

TEST(RegistryTool, FailuresExitNonZeroWithTheNumberedError) {
    TemporaryRegistry registry;
    const ToolRun unknown = runTool(registry, "describe Test.nothing");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("error 429"), std::string::npos) << unknown.err;

    const ToolRun missing =
        runTool(registry, "register " + registry.directory().string() + "/no.so");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("error 48"), std::string::npos) << missing.err;

    const ToolRun notServer = runTool(registry, "register " + kNotAServer);
    EXPECT_EQ(notServer.exitCode, 1);
    EXPECT_NE(notServer.err.find("error 48"), std::string::npos) << notServer.err;

    EXPECT_EQ(runTool(registry, "frobnicate").exitCode, 2);
}

TEST(RegistryTool, DamagedStoreIsReportedWithFileAndLine) {
    TemporaryRegistry registry;
    registry.write("component-registry 1\nclass\tnonsense\nend\n");
    for (const std::string& args : {std::string("list"), "register " + kCounterServer}) {
        const ToolRun run = runTool(registry, args);
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_NE(run.err.find("error 321"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(registry.file().string() + "' is damaged at line 2"),
                  std::string::npos)
            << run.err;
    }
}

TEST(RegistryTool, TwoProcessesRegisteringAtOnceLeaveOneSoundEntry) {
    TemporaryRegistry registry;
    const std::string both = command(registry, "register " + kCounterServer, "a") + " & a=$!; " +
                             command(registry, "register " + kCounterServer, "b") +
                             " & b=$!; wait $a && wait $b";
    const int status = std::system(both.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << collect(registry, 0, "a").err << collect(registry, 0, "b").err;
    const ToolRun listed = runTool(registry, "list");
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 1) << listed.out;
}

TEST(RegistryTool, SystemRegistrationIsOneDropInThatTheUsersEntryOverrides) {
    TemporaryRegistry registry;
    const auto dropIn = registry.systemFolder(0) / "libcomponent_test_server.registry";
    ASSERT_EQ(runTool(registry, "register --system " + kCounterServer).exitCode, 0);
    ASSERT_TRUE(std::filesystem::exists(dropIn));
    EXPECT_FALSE(std::filesystem::exists(registry.file())) << "the user's store is untouched";
    EXPECT_EQ(runTool(registry, "describe Test.counter").out, kCounterDescription);

    const auto link = registry.directory() / "libmine.so";
    std::filesystem::create_symlink(kCounterServer, link);
    ASSERT_EQ(runTool(registry, "register " + link.string()).exitCode, 0);
    const std::string listed = runTool(registry, "list").out;
    const auto user = listed.find(link.string() + "\t" + registry.file().string() + "\n");
    const auto system = listed.find(kCounterServer + "\t" + dropIn.string() + "\n");
    ASSERT_NE(user, std::string::npos) << listed;
    ASSERT_NE(system, std::string::npos) << listed;
    EXPECT_LT(user, system) << "entries are listed in the order they are searched";

    ASSERT_EQ(runTool(registry, "unregister --system " + kCounterServer).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(dropIn)) << "removal leaves no empty drop-in";
    const std::string userStore = registry.content();
    EXPECT_NE(userStore.find(link.string()), std::string::npos) << "the user's entry stays";
}

// Opening a FIFO blocks until a writer comes; none ever does here, so only a refusal ends
// these runs before their time limit.
TEST(RegistryTool, OnlyRegularFilesAreLoadedOrRead) {
    TemporaryRegistry registry;
    const auto fifo = registry.directory() / "libfifo.so";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    registry.write(
        "component-registry 1\nclass\t{3F0A1B2C-0004-4000-8000-000000000004}\t"
        "{3F0A1B2C-0003-4000-8000-000000000003}\tTest.fifo\t" +
        fifo.string() + "\nend\n");
    for (const std::string& args : {"register " + fifo.string(), "describe " + fifo.string(),
                                    std::string("describe Test.fifo")}) {
        const ToolRun run = runTool(registry, args);
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_NE(run.err.find("error 48: Cannot load the library '" + fifo.string() +
                               "': not a regular file"),
                  std::string::npos)
            << args << ": " << run.err;
    }

    std::filesystem::remove(registry.file());
    ASSERT_EQ(mkfifo(registry.file().c_str(), 0600), 0);
    const ToolRun listed = runTool(registry, "list");
    EXPECT_EQ(listed.exitCode, 1);
    EXPECT_NE(listed.err.find("is not a regular file"), std::string::npos) << listed.err;
}

TEST(RegistryTool, VersionAndHelp) {
    TemporaryRegistry registry;
    const ToolRun version = runTool(registry, "--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "component-registry " OMBRIX_VERSION "\n");
    const ToolRun help = runTool(registry, "--help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command : {"register", "unregister", "list", "describe"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
}

}  // namespace
