#pragma once

#include <string>
#include <string_view>

#include "ombrix/lookup/mx_result.h"

namespace ombrix::tools {

// "Error NUMBER (SOURCE): DESCRIPTION; server asked: SERVER" and its newline: the numbered
// error a lookup reports, and which server it asked, since that is often the one at fault
// (not for an invalid domain, which is never sent).
std::string errorLine(const lookup::Fault& fault, std::string_view server);

}  // namespace ombrix::tools
