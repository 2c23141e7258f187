#pragma once

#include <string>

#include "tools/bulk/domain_report.h"

namespace ombrix::tools {

// Appends the report as one line of JSON with its newline (the schema is in
// docs/json-lines.md), written in place so that a run of many lines builds no document.
// Text that is not valid UTF-8, which only the input domain can hold, has its bad bytes
// replaced by U+FFFD, so every line parses.
void appendJsonLine(const DomainReport& report, std::string& out);

// The same line as a string of its own.
std::string toJsonLine(const DomainReport& report);

}  // namespace ombrix::tools
