#include "control/tests/temporary_registration.h"

#include <dlfcn.h>
#include <stdlib.h>

#include "component/exports.h"

namespace ombrix::testing {

TemporaryRegistration::TemporaryRegistration() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ombrix-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        failure_ = "cannot make a temporary directory";
        return;
    }
    directory_ = pattern;
    ::setenv("COMPONENT_REGISTRY", (directory_ / "registry").c_str(), 1);

    library_ = ::dlopen(OMBRIX_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        failure_ = std::string("cannot load the library: ") + ::dlerror();
        return;
    }
    const auto registerServer =
        reinterpret_cast<decltype(&DllRegisterServer)>(::dlsym(library_, "DllRegisterServer"));
    if (!registerServer) {
        failure_ = "the library does not export DllRegisterServer";
    } else if (const auto rc = registerServer(); !component::succeeded(rc)) {
        failure_ = "DllRegisterServer failed with " + std::to_string(rc);
    }
}

TemporaryRegistration::~TemporaryRegistration() {
    ::unsetenv("COMPONENT_REGISTRY");
    if (!directory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
}

}  // namespace ombrix::testing
