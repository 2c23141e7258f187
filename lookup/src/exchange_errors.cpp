#include "ombrix/lookup/exchange_errors.h"

namespace ombrix::lookup {

Error sendingError() {
    return queryError("Problem sending MX query");
}

Error receivingError() {
    return queryError("Problem receiving MX query");
}

}  // namespace ombrix::lookup
