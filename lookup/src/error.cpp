#include "ombrix/lookup/error.h"

namespace ombrix::lookup {

Error queryError(std::string description) {
    return Error{kQueryFailed, kQuerySource, std::move(description)};
}

Error runtimeError(int number, std::string description) {
    return Error{number, kRuntimeSource, std::move(description)};
}

}  // namespace ombrix::lookup
