#include "host_conversions.h"

#include <limits>

#include "ombrix/component/argument_coercion.h"
#include "ombrix/component/error_info.h"
#include "ombrix/component/text.h"
#include "ombrix/widgets/control_error.h"

namespace ombrix {
namespace {

void throwIfFailed(std::int32_t errorNumber, std::string_view source) {
    switch (errorNumber) {
        case 0:
            return;
        case component::kErrOverflow:
            throw ControlError(errorNumber, std::string(source), "Overflow");
        case component::kErrTypeMismatch:
            throw ControlError(errorNumber, std::string(source), "Type mismatch");
        default:
            throw ControlError(errorNumber, std::string(source), "Conversion failed");
    }
}

}  // namespace

std::int16_t toInt16(const component::Variant& value, std::string_view source) {
    std::int16_t number = 0;
    throwIfFailed(component::toInt16(value, number), source);
    return number;
}

std::uint16_t toPreference(const component::Variant& value, std::string_view source) {
    std::int32_t number = 0;
    throwIfFailed(component::toInt32(value, number), source);
    if (number < std::numeric_limits<std::int16_t>::min() ||
        number > std::numeric_limits<std::uint16_t>::max()) {
        throwIfFailed(component::kErrOverflow, source);
    }
    return static_cast<std::uint16_t>(number);
}

std::string toText(const component::Variant& value, std::string_view source) {
    std::u16string text;
    throwIfFailed(component::toText(value, text), source);
    return component::toUtf8(text);
}

}  // namespace ombrix
