#pragma once

#include <string>

#include "tools/bulk/domain_report.h"

namespace ombrix::tools {

// The report as one line of JSON with its newline (the schema is in docs/json-lines.md).
// Text that is not valid UTF-8, which only the input domain can hold, has its bad bytes
// replaced by U+FFFD, so every line parses.
std::string toJsonLine(const DomainReport& report);

}  // namespace ombrix::tools
