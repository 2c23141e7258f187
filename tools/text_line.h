#pragma once

#include <string>

#include "tools/bulk/domain_report.h"

namespace ombrix::tools {

// The report as one line for a person at a terminal, with its newline:
// "example.org mx 10 mx1.example.org, 20 mx2.example.org", "example.net nxdomain",
// "example.com timeout: Problem receiving MX query". Control characters of the input are
// written as "\DDD" so that a list cannot drive the terminal.
// appendTextLine writes it straight onto the end of out.
void appendTextLine(const DomainReport& report, std::string& out);
std::string toTextLine(const DomainReport& report);

// The report's trace, one "DOMAIN +MS ms EVENT" line each.
std::string toTraceText(const DomainReport& report);

}  // namespace ombrix::tools
