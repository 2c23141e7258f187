#include <dlfcn.h>

#include <filesystem>
#include <vector>

#include "ombrix/component/exports.h"
#include "ombrix/component/registry_store.h"
#include "ombrix/component/server_module.h"

namespace component {
namespace {

thread_local ErrorInfo lastError;

// Any object of this library tells the loader which file it came from.
const char kAnchor = 0;

ResultCode libraryPath(std::string& out) {
    Dl_info info{};
    if (!dladdr(&kAnchor, &info) || !info.dli_fname) {
        lastError = layerError(kErrFileAccess, "Cannot tell the path of this server library");
        return kFail;
    }
    // As the library was named when loaded, symbolic links kept: a link to the current
    // build of a versioned library keeps naming the current build.
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(info.dli_fname, ec);
    out = ec ? std::string(info.dli_fname) : absolute.lexically_normal().string();
    return kOk;
}

std::vector<Registration> moduleRegistrations(const std::string& path) {
    const ServerModule& module = componentServerModule();
    const Guid typeLibrary = module.typeLibrary ? module.typeLibrary->libid : Guid{};
    std::vector<Registration> registrations;
    for (const ClassEntry& entry : module.classes) {
        if (entry.info->progId.empty())
            continue;
        registrations.push_back({entry.info->progId, entry.info->clsid, typeLibrary, path});
    }
    return registrations;
}

std::vector<Guid> moduleClasses() {
    std::vector<Guid> clsids;
    for (const ClassEntry& entry : componentServerModule().classes) {
        clsids.push_back(entry.info->clsid);
    }
    return clsids;
}

}  // namespace
}  // namespace component

using namespace component;

extern "C" {

ResultCode DllRegisterServer() {
    lastError = {};
    std::string path;
    if (const ResultCode rc = libraryPath(path); !succeeded(rc))
        return rc;
    return RegistryStore().add(moduleRegistrations(path), lastError);
}

ResultCode DllUnregisterServer() {
    lastError = {};
    return RegistryStore().remove(moduleClasses(), lastError);
}

const ErrorInfo* ComponentLastError() {
    return &lastError;
}

}  // extern "C"
