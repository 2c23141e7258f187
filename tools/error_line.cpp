#include "tools/error_line.h"

#include "ombrix/lookup/numbered_error.h"

namespace ombrix::tools {

std::string errorLine(const lookup::Fault& fault, std::string_view server) {
    const auto error = lookup::numberedError(fault);
    return "Error " + std::to_string(error.number) + " (" + error.source +
           "): " + error.description + "; server asked: " + std::string(server) + '\n';
}

}  // namespace ombrix::tools
