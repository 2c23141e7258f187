#include "ombrix/component/server_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace component {
namespace {

std::string loaderReason() {
    const char* reason = dlerror();
    return reason ? reason : "unknown reason";
}

// Looks up an entry point; null when absent.
template <class Function>
Function entry(void* handle, const char* name) {
    return reinterpret_cast<Function>(dlsym(handle, name));
}

// The loader opens whatever it is given and waits on a FIFO for ever, so only a regular file
// (or a link to one) is handed to it. A bare name is left to the loader's own search.
std::optional<std::string> whyNotLoadable(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT && path.find('/') == std::string::npos)
            return std::nullopt;
        return std::string(std::strerror(errno));
    }
    if (!S_ISREG(status.st_mode))
        return std::string("not a regular file");
    return std::nullopt;
}

}  // namespace

ResultCode loadServerLibrary(const std::string& path, ServerLibrary& out, ErrorInfo& error) {
    if (const auto reason = whyNotLoadable(path)) {
        error =
            layerError(kErrCannotLoadLibrary, "Cannot load the library '" + path + "': " + *reason);
        return kFail;
    }
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        error = layerError(kErrCannotLoadLibrary,
                           "Cannot load the library '" + path + "': " + loaderReason());
        return kFail;
    }
    ServerLibrary library;
    library.path = path;
    library.getClassObject = entry<decltype(library.getClassObject)>(handle, "DllGetClassObject");
    if (!library.getClassObject) {
        error =
            layerError(kErrCannotLoadLibrary,
                       "The library '" + path + "' is not a component server: " + loaderReason());
        return kFail;
    }
    library.canUnloadNow = entry<decltype(library.canUnloadNow)>(handle, "DllCanUnloadNow");
    library.registerServer = entry<decltype(library.registerServer)>(handle, "DllRegisterServer");
    library.unregisterServer =
        entry<decltype(library.unregisterServer)>(handle, "DllUnregisterServer");
    library.typeLibrary = entry<decltype(library.typeLibrary)>(handle, "ComponentTypeLibrary");
    library.lastError = entry<decltype(library.lastError)>(handle, "ComponentLastError");
    out = std::move(library);
    return kOk;
}

}  // namespace component
