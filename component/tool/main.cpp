// component-registry: registers, unregisters, lists and describes component server libraries
// in the per-user registration store (or the file named by COMPONENT_REGISTRY).

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "component/registry_store.h"
#include "component/server_library.h"
#include "component/text.h"
#include "component/tool/type_library_text.h"

namespace {

using namespace component;

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

void printUsage() {
    std::fputs(
        "usage: component-registry register LIBRARY\n"
        "       component-registry unregister LIBRARY\n"
        "       component-registry list\n"
        "       component-registry describe LIBRARY|PROGID\n",
        stderr);
}

int fail(const ErrorInfo& error) {
    std::fprintf(stderr, "component-registry: error %d: %s\n", error.number,
                 toUtf8(error.description).c_str());
    return kFailure;
}

// The loader searches system directories for a bare file name; a library named on the
// command line is meant as a file, so it is made absolute when it exists.
std::string libraryArgument(const std::string& argument) {
    std::error_code ec;
    if (!std::filesystem::exists(argument, ec))
        return argument;
    const auto absolute = std::filesystem::absolute(argument, ec);
    return ec ? argument : absolute.lexically_normal().string();
}

bool namesLibrary(const std::string& argument) {
    std::error_code ec;
    return argument.find('/') != std::string::npos || std::filesystem::exists(argument, ec);
}

using EntryPoint = ResultCode (*)();

int runEntryPoint(const std::string& argument, EntryPoint ServerLibrary::*which, const char* name,
                  const char* done) {
    ServerLibrary library;
    ErrorInfo error;
    if (!succeeded(loadServerLibrary(libraryArgument(argument), library, error))) {
        return fail(error);
    }
    const EntryPoint entry = library.*which;
    if (!entry) {
        return fail(layerError(kErrCannotLoadLibrary,
                               "The library '" + library.path + "' does not export " + name));
    }
    if (const ResultCode rc = entry(); !succeeded(rc)) {
        if (library.lastError && library.lastError()->number != 0) {
            return fail(*library.lastError());
        }
        return fail(layerError(kErrFileAccess,
                               std::string(name) + " failed with code " + std::to_string(rc)));
    }
    std::printf("%s %s\n", done, library.path.c_str());
    return kSuccess;
}

int list() {
    std::vector<Registration> registrations;
    ErrorInfo error;
    if (!succeeded(RegistryStore().read(registrations, error)))
        return fail(error);
    for (const Registration& r : registrations) {
        std::printf("%s\t%s\t%s\t%s\n", r.progId.c_str(), r.clsid.toString().c_str(),
                    r.typeLibrary.toString().c_str(), r.libraryPath.c_str());
    }
    return kSuccess;
}

int describe(const std::string& argument) {
    ErrorInfo error;
    std::string path = libraryArgument(argument);
    if (!namesLibrary(argument)) {
        Registration registration;
        const ResultCode found = RegistryStore().find(argument, registration, error);
        if (found == kClassNotAvailable) {
            return fail(
                layerError(kErrCannotCreateObject, "No class is registered as '" + argument + "'"));
        }
        if (!succeeded(found))
            return fail(error);
        path = registration.libraryPath;
    }
    ServerLibrary library;
    if (!succeeded(loadServerLibrary(path, library, error)))
        return fail(error);
    const TypeLibrary* typeLibrary = library.typeLibrary ? library.typeLibrary() : nullptr;
    if (!typeLibrary) {
        return fail(layerError(kErrCannotLoadLibrary,
                               "The library '" + path + "' carries no type library"));
    }
    std::fputs(describeTypeLibrary(*typeLibrary).c_str(), stdout);
    return kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "list")
        return list();
    if (args.size() == 2 && args[0] == "register") {
        return runEntryPoint(args[1], &ServerLibrary::registerServer, "DllRegisterServer",
                             "registered");
    }
    if (args.size() == 2 && args[0] == "unregister") {
        return runEntryPoint(args[1], &ServerLibrary::unregisterServer, "DllUnregisterServer",
                             "unregistered");
    }
    if (args.size() == 2 && args[0] == "describe")
        return describe(args[1]);
    printUsage();
    return kUsageError;
}
