// The registration store: lookups, updates, concurrent writers and damaged files.

#include "ombrix/component/registry_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "ombrix/component/create.h"
#include "ombrix/component/registry_search.h"
#include "ombrix/component/text.h"
#include "counter_server_support.h"

namespace {

using component::Guid;
using component::Registration;
using component::RegistryStore;

Registration registration(std::string progId, std::uint32_t classNumber, std::string path) {
    return {std::move(progId), Guid{classNumber, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}},
            Guid{0xABCDEF01, 0, 0, {}}, std::move(path)};
}

std::vector<Registration> readAll(const RegistryStore& store) {
    std::vector<Registration> all;
    component::ErrorInfo error;
    EXPECT_EQ(store.read(all, error), component::kOk) << component::toUtf8(error.description);
    return all;
}

TEST(RegistryStore, RegistrationsAreReplacedByClassOrIdentifierAndRemovedByClass) {
    TemporaryRegistry registry;
    const RegistryStore store;
    component::ErrorInfo error;
    EXPECT_TRUE(readAll(store).empty()) << "a missing file is an empty store";

    ASSERT_EQ(
        store.add({registration("A.one", 1, "/lib/a.so"), registration("B.two", 2, "/lib/b.so")},
                  error),
        component::kOk);
    // The same class from a moved library, and another class taking over a used identifier.
    ASSERT_EQ(
        store.add({registration("A.one", 1, "/moved/a.so"), registration("b.TWO", 3, "/lib/c.so")},
                  error),
        component::kOk);
    EXPECT_EQ(readAll(store), (std::vector<Registration>{registration("A.one", 1, "/moved/a.so"),
                                                         registration("b.TWO", 3, "/lib/c.so")}));

    Registration found;
    EXPECT_EQ(store.find("a.ONE", found, error), component::kOk);
    EXPECT_EQ(found.libraryPath, "/moved/a.so");

    ASSERT_EQ(store.remove({registration("", 1, "").clsid}, error), component::kOk);
    EXPECT_EQ(store.find("A.one", found, error), component::kClassNotAvailable);
    EXPECT_EQ(readAll(store).size(), 1u);
}

TEST(RegistryStore, RefusesRegistrationsItCouldNotReadBack) {
    TemporaryRegistry registry;
    const RegistryStore store;
    for (const Registration& bad :
         {registration("Has blank", 1, "/lib/a.so"), registration("", 1, "/lib/a.so"),
          registration("A.one", 1, "relative/a.so"), registration("A.one", 1, "/lib/a\tb.so"),
          registration("A.one", 1, "/lib/a\nclass.so")}) {
        component::ErrorInfo error;
        EXPECT_EQ(store.add({bad}, error), component::kInvalidArgument);
        EXPECT_EQ(error.number, component::kErrInvalidArgument);
    }
    EXPECT_FALSE(std::filesystem::exists(registry.file()));
}

TEST(RegistryStore, DamagedFileGivesNumberedErrorNamingFileAndLine) {
    static constexpr char kGarbage[] = "\0\x01\xff\xfe garbage\n";
    const std::string header = "component-registry 1\n";
    const std::string line =
        "class\t{00000001-0001-0002-0304-05060708090A}\t{ABCDEF01-0000-0000-0000-000000000000}\t"
        "A.one\t/lib/a.so\n";
    const struct {
        const char* what;
        std::string content;
        int line;
    } cases[] = {
        {"empty file", "", 1},
        {"foreign file", "hello world\n", 1},
        {"missing end line", header + line, 3},
        {"last line cut off", header + line.substr(0, 30), 2},
        {"bad class identifier", header + "class\t{1234}\t{}\tA.one\t/lib/a.so\nend\n", 2},
        {"too few fields", header + "class\t{00000001-0001-0002-0304-05060708090A}\nend\n", 2},
        {"relative library path", header + line.substr(0, line.find("/lib")) + "lib/a.so\nend\n",
         2},
        {"binary garbage", header + std::string(kGarbage, sizeof kGarbage - 1) + "end\n", 2},
        {"text after end", header + line + "end\n" + line, 4},
    };
    TemporaryRegistry registry;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        registry.write(c.content);
        std::vector<Registration> out;
        component::ErrorInfo error;
        EXPECT_EQ(RegistryStore().read(out, error), component::kFail);
        EXPECT_EQ(error.number, component::kErrInvalidFileFormat);
        EXPECT_EQ(error.source, u"component");
        const std::string description = component::toUtf8(error.description);
        EXPECT_NE(description.find(registry.file().string()), std::string::npos) << description;
        EXPECT_NE(description.find("line " + std::to_string(c.line) + ":"), std::string::npos)
            << description;
    }
}

TEST(RegistryStore, DamagedFileIsReportedByCreationAndNeverOverwritten) {
    TemporaryRegistry registry;
    const std::string damaged = "component-registry 1\nclass\tgarbage\n";
    registry.write(damaged);

    component::Ref<component::Unknown> object;
    component::ErrorInfo error;
    EXPECT_FALSE(component::succeeded(component::createObject("A.one", object, error)));
    EXPECT_EQ(error.number, component::kErrInvalidFileFormat);

    error = {};
    EXPECT_EQ(RegistryStore().add({registration("A.one", 1, "/lib/a.so")}, error),
              component::kFail);
    EXPECT_EQ(error.number, component::kErrInvalidFileFormat);
    EXPECT_EQ(registry.content(), damaged);
}

// Each child adds its own classes one update at a time; an update that read the store before
// another process's rename and wrote after it would lose that process's classes.
TEST(RegistryStore, ConcurrentUpdatesFromTwoProcessesLoseNothing) {
    TemporaryRegistry registry;
    constexpr int kChildren = 2;
    constexpr int kUpdatesEach = 25;
    std::vector<pid_t> children;
    for (int child = 0; child < kChildren; ++child) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kUpdatesEach; ++i) {
                const auto number = static_cast<std::uint32_t>(child * 1000 + i);
                component::ErrorInfo error;
                if (RegistryStore().add(
                        {registration("C" + std::to_string(number), number, "/lib/x.so")}, error) !=
                    component::kOk) {
                    ++failures;
                }
            }
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (const pid_t pid : children) {
        int status = 0;
        pid_t done = 0;
        while ((done = waitpid(pid, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (done == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            FAIL() << "a registering process did not finish in time";
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(readAll(RegistryStore()).size(), static_cast<std::size_t>(kChildren * kUpdatesEach));
}

TEST(RegistrySearch, UserStoreWinsThenSystemFoldersInOrder) {
    TemporaryRegistry registry;
    component::ErrorInfo error;
    const auto dropIn = [](const std::filesystem::path& folder, const char* name,
                           const Registration& r) {
        std::filesystem::create_directories(folder);
        component::ErrorInfo failure;
        ASSERT_EQ(RegistryStore(folder / name).add({r}, failure), component::kOk);
    };
    dropIn(registry.systemFolder(1), "late.registry", registration("Shared.one", 1, "/second"));
    dropIn(registry.systemFolder(0), "b.registry", registration("Shared.one", 1, "/first-b"));
    dropIn(registry.systemFolder(0), "a.registry", registration("Other.two", 2, "/first-a"));
    // Neither a drop-in by name nor read: an update's leftovers beside the drop-ins.
    std::ofstream(registry.systemFolder(0) / "a.registry.Xy12Ab") << "garbage";

    Registration found;
    ASSERT_EQ(component::findRegistration("shared.ONE", found, error), component::kOk);
    EXPECT_EQ(found.libraryPath, "/first-b") << "the first system folder comes first";

    ASSERT_EQ(RegistryStore().add({registration("Shared.one", 1, "/mine")}, error), component::kOk);
    ASSERT_EQ(component::findRegistration("Shared.one", found, error), component::kOk);
    EXPECT_EQ(found.libraryPath, "/mine") << "the user's own entry wins";

    std::vector<component::FoundRegistration> all;
    ASSERT_EQ(component::readAllRegistrations(all, error), component::kOk);
    std::vector<std::pair<std::string, std::filesystem::path>> seen;
    for (const auto& [r, origin] : all)
        seen.emplace_back(r.libraryPath, origin);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::filesystem::path>>{
                        {"/mine", registry.file()},
                        {"/first-a", registry.systemFolder(0) / "a.registry"},
                        {"/first-b", registry.systemFolder(0) / "b.registry"},
                        {"/second", registry.systemFolder(1) / "late.registry"}}));
    EXPECT_EQ(component::findRegistration("Nobody.here", found, error),
              component::kClassNotAvailable);
}

TEST(RegistryStore, LinkedStoreIsUpdatedWhereItPointsAndLeftoversAreRemoved) {
    TemporaryRegistry registry;
    const auto target = registry.directory() / "real" / "store";
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::create_symlink(target, registry.file());
    // What an update killed before its rename leaves, and a file that only looks alike.
    const auto stale = target.parent_path() / "store.a1B2c3";
    const auto unrelated = target.parent_path() / "store.notes";
    std::ofstream(stale) << "half";
    std::ofstream(unrelated) << "keep";

    component::ErrorInfo error;
    ASSERT_EQ(RegistryStore().add({registration("A.one", 1, "/lib/a.so")}, error), component::kOk)
        << component::toUtf8(error.description);
    EXPECT_TRUE(std::filesystem::is_symlink(registry.file())) << "the link is never replaced";
    EXPECT_EQ(readAll(RegistryStore(target)).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(unrelated));
}

TEST(RegistryStore, LocationFollowsTheEnvironment) {
    const auto restore = [](const char* name, const char* saved) {
        saved ? setenv(name, saved, 1) : unsetenv(name);
    };
    const std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    const char* savedXdg = getenv("XDG_DATA_HOME");
    const std::string xdgCopy = savedXdg ? savedXdg : "";
    const char* savedNamed = getenv("COMPONENT_REGISTRY");
    const std::string namedCopy = savedNamed ? savedNamed : "";

    setenv("HOME", "/home/someone", 1);
    unsetenv("XDG_DATA_HOME");
    unsetenv("COMPONENT_REGISTRY");
    EXPECT_EQ(RegistryStore::defaultPath(), "/home/someone/.local/share/component/registry");
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(RegistryStore::defaultPath(), "/home/someone/.local/share/component/registry");
    setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(RegistryStore::defaultPath(), "/data/component/registry");
    setenv("COMPONENT_REGISTRY", "/tmp/elsewhere", 1);
    EXPECT_EQ(RegistryStore::defaultPath(), "/tmp/elsewhere");

    restore("HOME", savedHome.empty() ? nullptr : savedHome.c_str());
    restore("XDG_DATA_HOME", savedXdg ? xdgCopy.c_str() : nullptr);
    restore("COMPONENT_REGISTRY", savedNamed ? namedCopy.c_str() : nullptr);
}

}  // namespace
