#include "temporary_registry.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "component/server_library.h"
#include "component/text.h"

TemporaryRegistry::TemporaryRegistry() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "component-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary directory");
    directory_ = pattern;
    file_ = directory_ / "registry";
    setenv("COMPONENT_REGISTRY", file_.c_str(), 1);
    if (const char* dataDirs = getenv("XDG_DATA_DIRS")) {
        hadDataDirs_ = true;
        savedDataDirs_ = dataDirs;
    }
    const std::string systemData =
        (directory_ / "share1").string() + ":" + (directory_ / "share2").string();
    setenv("XDG_DATA_DIRS", systemData.c_str(), 1);
}

TemporaryRegistry::~TemporaryRegistry() {
    unsetenv("COMPONENT_REGISTRY");
    if (hadDataDirs_)
        setenv("XDG_DATA_DIRS", savedDataDirs_.c_str(), 1);
    else
        unsetenv("XDG_DATA_DIRS");
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

void registerCounterServer() {
    component::ServerLibrary library;
    component::ErrorInfo error;
    ASSERT_EQ(component::loadServerLibrary(kCounterServer, library, error), component::kOk)
        << component::toUtf8(error.description);
    ASSERT_EQ(library.registerServer(), component::kOk)
        << component::toUtf8(library.lastError()->description);
}

component::ResultCode counterCanUnloadNow() {
    void* handle = dlopen(kCounterServer.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return component::kFail;
    const auto canUnload =
        reinterpret_cast<decltype(&DllCanUnloadNow)>(dlsym(handle, "DllCanUnloadNow"));
    return canUnload ? canUnload() : component::kFail;
}
