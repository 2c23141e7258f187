#pragma once

#include <string>

#include "tools/bulk/domain_report.h"
#include "tools/domain_list_reader.h"

namespace ombrix::tools {

// The report of a list line too long to hold a domain: invalid, nothing sent, with the line's
// number in the error so that it can be found in the list. server is the one the run asks.
DomainReport overlongLineReport(ListEntry entry, std::string server);

}  // namespace ombrix::tools
