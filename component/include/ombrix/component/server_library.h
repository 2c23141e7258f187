#pragma once

#include <string>

#include "ombrix/component/error_info.h"
#include "ombrix/component/exports.h"

namespace component {

// The entry points of a loaded server library. Only getClassObject is required of a server;
// the others are null when the library lacks them.
struct ServerLibrary {
    std::string path;
    decltype(&DllGetClassObject) getClassObject = nullptr;
    decltype(&DllCanUnloadNow) canUnloadNow = nullptr;
    decltype(&DllRegisterServer) registerServer = nullptr;
    decltype(&DllUnregisterServer) unregisterServer = nullptr;
    decltype(&ComponentTypeLibrary) typeLibrary = nullptr;
    decltype(&ComponentLastError) lastError = nullptr;
};

// Loads a server library with its symbols kept to itself. A loaded library stays loaded for
// the life of the process: objects and forms it made may outlive any one user. A library that
// cannot be loaded or is no server gives kErrCannotLoadLibrary with the loader's reason; so
// does a path that names anything but a regular file (a FIFO would block the loader).
ResultCode loadServerLibrary(const std::string& path, ServerLibrary& out, ErrorInfo& error);

}  // namespace component
