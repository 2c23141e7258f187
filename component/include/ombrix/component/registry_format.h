#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ombrix/component/error_info.h"
#include "ombrix/component/guid.h"
#include "ombrix/component/unknown.h"

namespace component {

// One registered class: where a host finds it by programmatic identifier.
struct Registration {
    std::string progId;
    Guid clsid;
    Guid typeLibrary;
    std::string libraryPath;  // absolute

    friend bool operator==(const Registration&, const Registration&) = default;
};

// The text of the registration store, one class a line, fields separated by tabs:
//
//   component-registry 1
//   class	{clsid}	{type library id}	progId	/absolute/library/path
//   end
//
// The closing "end" line tells a complete file from a truncated one.
std::string formatRegistry(const std::vector<Registration>& registrations);

// Reads the store's text. A damaged text fills `error` (kErrInvalidFileFormat) naming
// `fileName` and the line at fault and returns kFail.
ResultCode parseRegistry(std::string_view text, std::string_view fileName,
                         std::vector<Registration>& out, ErrorInfo& error);

// Why a registration cannot be stored (a programmatic identifier with blanks or control
// characters, a relative path, a path with a tab or line break), or nothing when it can.
std::optional<std::string> registrationProblem(const Registration& registration);

}  // namespace component
