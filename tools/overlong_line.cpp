#include "tools/overlong_line.h"

namespace ombrix::tools {

DomainReport overlongLineReport(ListEntry entry, std::string server) {
    DomainReport report;
    report.domain = std::move(entry.domain);
    report.result.outcome = lookup::Outcome::invalidDomain;
    report.result.wire.server = std::move(server);
    report.result.fault =
        lookup::Fault{lookup::Fault::Kind::invalidDomain,
                      "line " + std::to_string(entry.line) + " of the list is longer than " +
                          std::to_string(DomainListLines::kMaxLine) + " bytes"};
    return report;
}

}  // namespace ombrix::tools
