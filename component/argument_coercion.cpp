#include "ombrix/component/argument_coercion.h"

#include <limits>
#include <string_view>

#include "ombrix/component/error_info.h"

namespace component {
namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view trimmed(std::u16string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Reads a whole decimal integer; values beyond 64 bits are reported as overflow.
std::int32_t parseDecimal(std::u16string_view text, std::int64_t& out) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return kErrTypeMismatch;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 9;
    std::int64_t value = 0;
    bool tooLarge = false;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            return kErrTypeMismatch;
        if (value > kLimit)
            tooLarge = true;
        if (!tooLarge)
            value = value * 10 + (c - u'0');
    }
    if (tooLarge)
        return kErrOverflow;
    out = negative ? -value : value;
    return 0;
}

std::int32_t toWide(const Variant& value, std::int64_t& out) {
    switch (value.type()) {
        case Variant::Type::Empty:
            out = 0;
            return 0;
        case Variant::Type::Int16:
            out = value.int16();
            return 0;
        case Variant::Type::Int32:
            out = value.int32();
            return 0;
        case Variant::Type::Int16Ref:
            if (!value.int16Ref())
                return kErrTypeMismatch;
            out = *value.int16Ref();
            return 0;
        case Variant::Type::String:
            return parseDecimal(value.string(), out);
    }
    return kErrTypeMismatch;
}

template <class T>
std::int32_t narrow(const Variant& value, T& out) {
    std::int64_t wide = 0;
    if (const std::int32_t error = toWide(value, wide))
        return error;
    if (wide < std::numeric_limits<T>::min() || wide > std::numeric_limits<T>::max()) {
        return kErrOverflow;
    }
    out = static_cast<T>(wide);
    return 0;
}

std::u16string decimalText(std::int64_t n) {
    const std::string ascii = std::to_string(n);
    return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace

std::int32_t toInt16(const Variant& value, std::int16_t& out) {
    return narrow(value, out);
}

std::int32_t toInt32(const Variant& value, std::int32_t& out) {
    return narrow(value, out);
}

std::int32_t toText(const Variant& value, std::u16string& out) {
    switch (value.type()) {
        case Variant::Type::Empty:
            out.clear();
            return 0;
        case Variant::Type::String:
            out = value.string();
            return 0;
        case Variant::Type::Int16:
        case Variant::Type::Int32:
        case Variant::Type::Int16Ref: {
            std::int64_t n = 0;
            if (const std::int32_t error = toWide(value, n))
                return error;
            out = decimalText(n);
            return 0;
        }
    }
    return kErrTypeMismatch;
}

std::int32_t coerceTo(const TypeRef& type, const Variant& value, Variant& out) {
    if (type.dynamicArray)
        return kErrTypeMismatch;
    switch (type.type) {
        case ValueType::Int16: {
            std::int16_t n = 0;
            const std::int32_t error = toInt16(value, n);
            if (!error)
                out = Variant(n);
            return error;
        }
        case ValueType::Int32: {
            std::int32_t n = 0;
            const std::int32_t error = toInt32(value, n);
            if (!error)
                out = Variant(n);
            return error;
        }
        case ValueType::String: {
            std::u16string text;
            const std::int32_t error = toText(value, text);
            if (!error)
                out = Variant(std::move(text));
            return error;
        }
        case ValueType::Variant:
            out = value;
            return 0;
        case ValueType::Void:
        case ValueType::Record:
            return kErrTypeMismatch;
    }
    return kErrTypeMismatch;
}

}  // namespace component
