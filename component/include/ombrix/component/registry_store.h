#pragma once

#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "ombrix/component/error_info.h"
#include "ombrix/component/registry_format.h"
#include "ombrix/component/unknown.h"

namespace component {

// The per-user file that maps programmatic identifiers to classes and their libraries.
// Readers see either the old or the new content, never a mix: an update takes a lock on a
// companion ".lock" file, reads the current content, writes the new one to a temporary file
// in the same directory and renames it over the store. A missing file is an empty store;
// a damaged one is an error (kErrInvalidFileFormat) naming the file and line, and is never
// overwritten; anything but a regular file is refused. A store that is a symbolic link is
// updated where the link points. Temporary files of an update that was killed are removed by
// the next update.
class RegistryStore {
  public:
    // $COMPONENT_REGISTRY when set, else $XDG_DATA_HOME/component/registry, else
    // ~/.local/share/component/registry.
    static std::filesystem::path defaultPath();

    RegistryStore() : RegistryStore(defaultPath()) {}
    explicit RegistryStore(std::filesystem::path file) : path_(std::move(file)) {}

    const std::filesystem::path& path() const { return path_; }

    ResultCode read(std::vector<Registration>& out, ErrorInfo& error) const;
    // Looks up a programmatic identifier, ignoring case. kClassNotAvailable, with `error`
    // left alone, when it is not registered.
    ResultCode find(std::string_view progId, Registration& out, ErrorInfo& error) const;

    // Records the classes, replacing any registration of the same class identifier or the
    // same programmatic identifier.
    ResultCode add(const std::vector<Registration>& registrations, ErrorInfo& error) const;
    // Removes the registrations of these classes.
    ResultCode remove(const std::vector<Guid>& clsids, ErrorInfo& error) const;

  private:
    // Returns true when it changed the registrations.
    using Change = std::function<bool(std::vector<Registration>&)>;
    ResultCode update(const Change& change, ErrorInfo& error) const;
    ResultCode write(const std::filesystem::path& file,
                     const std::vector<Registration>& registrations, ErrorInfo& error) const;

    std::filesystem::path path_;
};

}  // namespace component
