#include "tools/error_line.h"

#include "hosterrors/numbered_error.h"

namespace ombrix::tools {

std::string errorLine(const lookup::Fault& fault, std::string_view server) {
    const auto error = host::numberedError(fault);
    auto line =
        "Error " + std::to_string(error.number) + " (" + error.source + "): " + error.description;
    // An invalid domain is never sent, so no server is to blame.
    if (fault.kind != lookup::Fault::Kind::invalidDomain) {
        line += "; server asked: " + std::string(server);
    }
    return line + '\n';
}

}  // namespace ombrix::tools
