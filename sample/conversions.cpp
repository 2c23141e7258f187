#include "sample/conversions.h"

#include <limits>
#include <string>

#include "component/argument_coercion.h"
#include "component/error_info.h"
#include "sample/raised_error.h"

namespace ombrix::sample {
namespace {

void raiseIfFailed(std::int32_t errorNumber) {
    switch (errorNumber) {
        case 0:
            return;
        case component::kErrOverflow:
            throw RaisedError({errorNumber, kProgramSource, u"Overflow"});
        case component::kErrTypeMismatch:
            throw RaisedError({errorNumber, kProgramSource, u"Type mismatch"});
        default:
            throw RaisedError({errorNumber, kProgramSource, u"Conversion failed"});
    }
}

}  // namespace

std::int16_t toInt16(const component::Variant& value) {
    std::int16_t number = 0;
    raiseIfFailed(component::toInt16(value, number));
    return number;
}

std::uint16_t toPreference(const component::Variant& value) {
    std::int32_t number = 0;
    raiseIfFailed(component::toInt32(value, number));
    if (number < std::numeric_limits<std::int16_t>::min() ||
        number > std::numeric_limits<std::uint16_t>::max()) {
        raiseIfFailed(component::kErrOverflow);
    }
    return static_cast<std::uint16_t>(number);
}

QString toText(const component::Variant& value) {
    std::u16string text;
    raiseIfFailed(component::toText(value, text));
    return QString::fromStdU16String(text);
}

}  // namespace ombrix::sample
