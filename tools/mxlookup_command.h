#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "ombrix/lookup/mx_lookup.h"

namespace ombrix::tools {

inline constexpr int kExitAnswered = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

// Runs `mxlookup [@SERVER] DOMAIN` (args without the program name) and returns the exit
// status. The result goes to out exactly as the sample window shows it; an error goes to err
// as "Error NUMBER (SOURCE): DESCRIPTION". Without @SERVER the first nameserver of the
// resolv.conf at resolvConfPath is asked.
int runMxLookup(std::span<const std::string_view> args, std::ostream& out, std::ostream& err,
                const std::string& resolvConfPath, const lookup::LookupOptions& options = {});

}  // namespace ombrix::tools
