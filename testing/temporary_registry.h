#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ombrix::testing {

// A registration store of one test's own: a fresh directory whose "registry" file is named to
// the component layer through COMPONENT_REGISTRY, and whose two folders stand for the system
// data folders (XDG_DATA_DIRS). When the object goes, the directory is removed and the
// variables get back the values they had before, or are unset if they had none.
class TemporaryRegistry {
  public:
    TemporaryRegistry();
    ~TemporaryRegistry();
    TemporaryRegistry(const TemporaryRegistry&) = delete;
    TemporaryRegistry& operator=(const TemporaryRegistry&) = delete;

    const std::filesystem::path& directory() const { return directory_; }
    const std::filesystem::path& file() const { return file_; }

    // The drop-in folder of the first (0) or the second (1) system data folder.
    std::filesystem::path systemFolder(int index) const;

    void write(std::string_view content) const;
    std::string content() const;

  private:
    std::optional<std::string> previous_;
    std::optional<std::string> previousSystemData_;
    std::filesystem::path directory_;
    std::filesystem::path file_;
};

// Registers a server library in the store in use as an installer does: loads it and calls
// its DllRegisterServer. The library stays loaded.
struct Registration {
    void* library = nullptr;  // the handle, for looking up the library's exports
    std::string failure;      // empty when registration worked, else what went wrong
};
Registration registerServerLibrary(const std::string& path);

// A temporary store with one server library registered in it.
class TemporaryRegistration {
  public:
    explicit TemporaryRegistration(const std::string& library)
        : registration_(registerServerLibrary(library)) {}

    const std::string& failure() const { return registration_.failure; }
    void* library() const { return registration_.library; }

  private:
    TemporaryRegistry registry_;
    Registration registration_;
};

}  // namespace ombrix::testing
