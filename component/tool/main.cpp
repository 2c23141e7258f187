// component-registry: registers, unregisters, lists and describes component server libraries
// in the user's registration store (or the file named by COMPONENT_REGISTRY), or for every
// user in a system drop-in folder.

#include <stdlib.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ombrix/component/registry_search.h"
#include "ombrix/component/registry_store.h"
#include "ombrix/component/server_library.h"
#include "ombrix/component/text.h"
#include "component/tool/type_library_text.h"

namespace {

using namespace component;

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

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

// A server library records itself in the store that COMPONENT_REGISTRY names; for the system
// that is the library's drop-in in the first folder of XDG_DATA_DIRS.
ResultCode useSystemDropIn(const std::string& library, std::filesystem::path& dropIn,
                           ErrorInfo& error) {
    const auto folders = systemRegistryFolders();
    if (folders.empty()) {
        error = layerError(kErrFileAccess, "XDG_DATA_DIRS names no absolute folder");
        return kFail;
    }
    dropIn = dropInFile(folders.front(), library);
    setenv("COMPONENT_REGISTRY", dropIn.c_str(), 1);
    return kOk;
}

// An unregistered library leaves no empty drop-in behind.
void removeIfEmpty(const std::filesystem::path& dropIn) {
    std::vector<Registration> left;
    ErrorInfo ignored;
    std::error_code ec;
    if (succeeded(RegistryStore(dropIn).read(left, ignored)) && left.empty())
        std::filesystem::remove(dropIn, ec);
}

using EntryPoint = ResultCode (*)();

int runEntryPoint(const std::string& path, EntryPoint ServerLibrary::*which, const char* name,
                  const char* done) {
    ServerLibrary library;
    ErrorInfo error;
    if (!succeeded(loadServerLibrary(path, library, error))) {
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

enum class Change { add, remove };

int changeRegistration(const std::string& argument, bool system, Change change) {
    const std::string path = libraryArgument(argument);
    std::filesystem::path dropIn;
    ErrorInfo error;
    if (system && !succeeded(useSystemDropIn(path, dropIn, error)))
        return fail(error);
    if (change == Change::add) {
        return runEntryPoint(path, &ServerLibrary::registerServer, "DllRegisterServer",
                             "registered");
    }
    const int status = runEntryPoint(path, &ServerLibrary::unregisterServer, "DllUnregisterServer",
                                     "unregistered");
    if (system && status == kSuccess)
        removeIfEmpty(dropIn);
    return status;
}

int list() {
    std::vector<FoundRegistration> found;
    ErrorInfo error;
    if (!succeeded(readAllRegistrations(found, error)))
        return fail(error);
    for (const auto& [r, origin] : found) {
        std::printf("%s\t%s\t%s\t%s\t%s\n", r.progId.c_str(), r.clsid.toString().c_str(),
                    r.typeLibrary.toString().c_str(), r.libraryPath.c_str(), origin.c_str());
    }
    // Standard output stays empty for scripts; a person learns where nothing was found.
    if (found.empty())
        std::fprintf(stderr, "Nothing is registered in %s.\n", searchedPlaces().c_str());
    return kSuccess;
}

int describe(const std::string& argument) {
    ErrorInfo error;
    std::string path = libraryArgument(argument);
    if (!namesLibrary(argument)) {
        Registration registration;
        const ResultCode found = findRegistration(argument, registration, error);
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
    CLI::App app("Registers, lists and describes component server libraries.",
                 "component-registry");
    app.set_version_flag("--version", "component-registry " OMBRIX_VERSION);
    app.require_subcommand(1, 1);

    std::string library;
    bool system = false;
    const auto libraryCommand = [&](const char* name, const char* what) {
        CLI::App* command = app.add_subcommand(name, what);
        command->add_option("LIBRARY", library, "the server library")->required();
        command->add_flag("--system", system,
                          "use the library's drop-in in the first folder of XDG_DATA_DIRS");
        return command;
    };
    CLI::App* registering = libraryCommand("register", "record the library's classes");
    CLI::App* unregistering = libraryCommand("unregister", "remove the library's classes");
    CLI::App* listing =
        app.add_subcommand("list", "show every registration and the store it comes from");
    CLI::App* describing = app.add_subcommand("describe", "show a library's type library");
    describing->add_option("LIBRARY|PROGID", library, "a library or a registered identifier")
        ->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return app.exit(done);
    } catch (const CLI::ParseError& wrong) {
        app.exit(wrong);
        return kUsageError;
    }
    if (registering->parsed())
        return changeRegistration(library, system, Change::add);
    if (unregistering->parsed())
        return changeRegistration(library, system, Change::remove);
    if (listing->parsed())
        return list();
    return describe(library);
}
