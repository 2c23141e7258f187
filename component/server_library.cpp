#include "component/server_library.h"

#include <dlfcn.h>

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

}  // namespace

ResultCode loadServerLibrary(const std::string& path, ServerLibrary& out, ErrorInfo& error) {
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
