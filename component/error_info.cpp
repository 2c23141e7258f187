#include "ombrix/component/error_info.h"

#include "ombrix/component/text.h"

namespace component {

ErrorInfo layerError(std::int32_t number, std::string_view description) {
    return {number, std::u16string(kLayerSource), toUtf16(description)};
}

}  // namespace component
