#include "control/error_conversion.h"

#include "control/text_conversion.h"

namespace ombrix {

component::ErrorInfo toErrorInfo(const lookup::Error& error) {
    return {error.number, toUtf16(error.source), toUtf16(error.description)};
}

}  // namespace ombrix
