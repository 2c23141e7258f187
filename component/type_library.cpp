#include "ombrix/component/type_library.h"

namespace component {

const InterfaceInfo* TypeLibrary::findInterface(std::string_view wanted) const {
    for (const InterfaceInfo& candidate : interfaces) {
        if (candidate.name == wanted)
            return &candidate;
    }
    return nullptr;
}

}  // namespace component
