#include "testing/temporary_registry.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "ombrix/component/exports.h"

namespace ombrix::testing {
namespace {

constexpr const char* kStoreVariable = "COMPONENT_REGISTRY";
constexpr const char* kSystemDataVariable = "XDG_DATA_DIRS";

void restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

std::optional<std::string> environmentValue(const char* name) {
    const char* value = ::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace

TemporaryRegistry::TemporaryRegistry()
    : previous_(environmentValue(kStoreVariable)),
      previousSystemData_(environmentValue(kSystemDataVariable)) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ombrix-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make a temporary directory for the registry");
    }
    directory_ = pattern;
    file_ = directory_ / "registry";
    ::setenv(kStoreVariable, file_.c_str(), 1);
    // The system folders are two folders of the test's own, so nothing installed shows.
    const std::string systemData =
        (directory_ / "share1").string() + ":" + (directory_ / "share2").string();
    ::setenv(kSystemDataVariable, systemData.c_str(), 1);
}

TemporaryRegistry::~TemporaryRegistry() {
    restore(kStoreVariable, previous_);
    restore(kSystemDataVariable, previousSystemData_);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

std::filesystem::path TemporaryRegistry::systemFolder(int index) const {
    return directory_ / ("share" + std::to_string(index + 1)) / "component" / "registry.d";
}

void TemporaryRegistry::write(std::string_view content) const {
    std::ofstream(file_, std::ios::binary) << content;
}

std::string TemporaryRegistry::content() const {
    std::ostringstream text;
    text << std::ifstream(file_, std::ios::binary).rdbuf();
    return text.str();
}

Registration registerServerLibrary(const std::string& path) {
    Registration registration;
    registration.library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!registration.library) {
        registration.failure = std::string("cannot load the library: ") + ::dlerror();
        return registration;
    }
    const auto registerServer = reinterpret_cast<decltype(&DllRegisterServer)>(
        ::dlsym(registration.library, "DllRegisterServer"));
    if (!registerServer) {
        registration.failure = "the library does not export DllRegisterServer";
    } else if (const auto rc = registerServer(); !component::succeeded(rc)) {
        registration.failure = "DllRegisterServer failed with " + std::to_string(rc);
    }
    return registration;
}

}  // namespace ombrix::testing
