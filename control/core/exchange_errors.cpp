#include "control/core/exchange_errors.h"

namespace ombrix::core {

Error sendingError() {
    return queryError("Problem sending MX query");
}

Error receivingError() {
    return queryError("Problem receiving MX query");
}

}  // namespace ombrix::core
