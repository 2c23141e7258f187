#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ombrix/component/error_info.h"
#include "ombrix/component/registry_format.h"
#include "ombrix/component/unknown.h"

namespace component {

// Where hosts look a class up: the user's store first, then the system drop-in folders,
// component/registry.d under each folder of $XDG_DATA_DIRS in that order (/usr/local/share and
// /usr/share when unset). A drop-in is one library's own store, named after the library, so a
// package adds and removes exactly its own file and no installer edits a shared one. Within a
// folder the *.registry files are read in name order. The first registration of an identifier
// wins, so a user's entry overrides the system's.

struct FoundRegistration {
    Registration registration;
    std::filesystem::path origin;  // the store or drop-in it was read from
};

std::vector<std::filesystem::path> systemRegistryFolders();

// Where a search looks, for telling someone who found nothing: "the store PATH and the
// drop-in folders A, B".
std::string searchedPlaces();

// The drop-in in `folder` for the library at `libraryPath`: its file name up to ".so", with
// ".registry" (libombrix.so.1 gives libombrix.registry).
std::filesystem::path dropInFile(const std::filesystem::path& folder,
                                 const std::filesystem::path& libraryPath);

// Every registration in search order, shadowed ones included.
ResultCode readAllRegistrations(std::vector<FoundRegistration>& out, ErrorInfo& error);

// The registration that wins for progId, ignoring case. kClassNotAvailable, with `error` left
// alone, when no store has it.
ResultCode findRegistration(std::string_view progId, Registration& out, ErrorInfo& error);

}  // namespace component
