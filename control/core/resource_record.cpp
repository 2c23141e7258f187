#include "control/core/resource_record.h"

#include <string>

namespace ombrix::core::record_faults {

Error cut(std::size_t offset, const char* part) {
    return runtimeError(kSubscriptOutOfRange, "Subscript out of range: the reply ends inside " +
                                                  std::string(part) + " of the record at offset " +
                                                  std::to_string(offset));
}

}  // namespace ombrix::core::record_faults
