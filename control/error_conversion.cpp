#include "control/error_conversion.h"

#include "ombrix/component/text.h"

namespace ombrix {

component::ErrorInfo toErrorInfo(const host::NumberedError& error) {
    return {error.number, component::toUtf16(error.source), component::toUtf16(error.description)};
}

}  // namespace ombrix
