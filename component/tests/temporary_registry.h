#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "component/unknown.h"

// A registration store of its own for one test: a fresh directory, named to the layer through
// COMPONENT_REGISTRY, removed again afterwards. The system folders (XDG_DATA_DIRS) are two
// folders inside it, so nothing installed on the machine shows.
class TemporaryRegistry {
  public:
    TemporaryRegistry();
    ~TemporaryRegistry();
    TemporaryRegistry(const TemporaryRegistry&) = delete;
    TemporaryRegistry& operator=(const TemporaryRegistry&) = delete;

    const std::filesystem::path& directory() const { return directory_; }
    const std::filesystem::path& file() const { return file_; }
    // The drop-in folder of the first and the second system data folder.
    std::filesystem::path systemFolder(int index) const;

    void write(std::string_view content) const;
    std::string content() const;

  private:
    std::filesystem::path directory_;
    std::filesystem::path file_;
    std::string savedDataDirs_;
    bool hadDataDirs_ = false;
};

// The libraries built for the tests.
inline const std::string kCounterServer = COMPONENT_TEST_SERVER;
inline const std::string kNotAServer = COMPONENT_NOT_A_SERVER;
inline const std::string kRegistryTool = COMPONENT_REGISTRY_TOOL;

// Registers the counter server in the store in use as an installer does: loads the library
// and calls its DllRegisterServer.
void registerCounterServer();

// The counter server's own DllCanUnloadNow; the library must be loaded already.
component::ResultCode counterCanUnloadNow();
