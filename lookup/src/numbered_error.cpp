#include "ombrix/lookup/numbered_error.h"

namespace ombrix::lookup {

NumberedError numberedError(const Fault& fault) {
    switch (fault.kind) {
        case Fault::Kind::invalidDomain:
            return {kErrorInvalidCall, kRuntimeErrorSource, fault.description};
        case Fault::Kind::cutShort:
            return {kErrorSubscript, kRuntimeErrorSource, fault.description};
        default:
            return {kErrorQuery, kQueryErrorSource, fault.description};
    }
}

}  // namespace ombrix::lookup
