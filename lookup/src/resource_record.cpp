#include "ombrix/lookup/resource_record.h"

#include <string>

namespace ombrix::lookup {

Error describe(const RecordFault& fault) {
    if (fault.owner.failed()) {
        return describe(fault.owner);
    }
    return runtimeError(kSubscriptOutOfRange, "Subscript out of range: the reply ends inside " +
                                                  std::string(fault.cutPart) +
                                                  " of the record at offset " +
                                                  std::to_string(fault.offset));
}

}  // namespace ombrix::lookup
