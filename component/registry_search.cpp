#include "ombrix/component/registry_search.h"

#include <algorithm>
#include <cstdlib>

#include "ombrix/component/registry_store.h"

namespace component {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDropInSuffix = ".registry";

std::vector<fs::path> dataDirectories() {
    const char* value = std::getenv("XDG_DATA_DIRS");
    const std::string list = value && *value ? value : "/usr/local/share:/usr/share";
    std::vector<fs::path> folders;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        const std::string entry = list.substr(start, end - start);
        // Relative entries are invalid and ignored.
        if (entry.starts_with('/'))
            folders.emplace_back(entry);
        start = end + 1;
    }
    return folders;
}

// The drop-ins of one folder in name order; a missing folder has none.
std::vector<fs::path> dropInsOf(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().filename().string().ends_with(kDropInSuffix) && entry.is_regular_file(ec))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The user's store, then every drop-in, in the order they are searched.
std::vector<fs::path> searchedFiles() {
    std::vector<fs::path> files{RegistryStore::defaultPath()};
    for (const fs::path& folder : systemRegistryFolders()) {
        const std::vector<fs::path> dropIns = dropInsOf(folder);
        files.insert(files.end(), dropIns.begin(), dropIns.end());
    }
    return files;
}

}  // namespace

std::vector<fs::path> systemRegistryFolders() {
    std::vector<fs::path> folders;
    for (const fs::path& data : dataDirectories())
        folders.push_back(data / "component" / "registry.d");
    return folders;
}

std::string searchedPlaces() {
    std::string places = "the store " + RegistryStore::defaultPath().string() +
                         " and the drop-in folders";
    const char* separator = " ";
    for (const fs::path& folder : systemRegistryFolders()) {
        places += separator + folder.string();
        separator = ", ";
    }
    return places;
}

fs::path dropInFile(const fs::path& folder, const fs::path& libraryPath) {
    const std::string name = libraryPath.filename().string();
    return folder / (name.substr(0, name.find(".so")) + std::string(kDropInSuffix));
}

ResultCode readAllRegistrations(std::vector<FoundRegistration>& out, ErrorInfo& error) {
    out.clear();
    for (const fs::path& file : searchedFiles()) {
        std::vector<Registration> registrations;
        if (const ResultCode rc = RegistryStore(file).read(registrations, error); !succeeded(rc))
            return rc;
        for (Registration& r : registrations)
            out.push_back({std::move(r), file});
    }
    return kOk;
}

ResultCode findRegistration(std::string_view progId, Registration& out, ErrorInfo& error) {
    for (const fs::path& file : searchedFiles()) {
        const ResultCode rc = RegistryStore(file).find(progId, out, error);
        if (rc != kClassNotAvailable)
            return rc;
    }
    return kClassNotAvailable;
}

}  // namespace component
