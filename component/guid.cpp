#include "ombrix/component/guid.h"

#include <cstdio>

namespace component {
namespace {

std::optional<std::uint8_t> hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<std::uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<std::uint8_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<std::uint8_t>(c - 'A' + 10);
    return std::nullopt;
}

// Reads `digits` hex digits from the front of `text`, consuming them.
template <class T>
std::optional<T> readHex(std::string_view& text, std::size_t digits) {
    if (text.size() < digits)
        return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const auto d = hexDigit(text[i]);
        if (!d)
            return std::nullopt;
        value = (value << 4) | *d;
    }
    text.remove_prefix(digits);
    return static_cast<T>(value);
}

bool consume(std::string_view& text, char c) {
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

std::optional<Guid> Guid::parse(std::string_view text) {
    if (consume(text, '{')) {
        if (text.empty() || text.back() != '}')
            return std::nullopt;
        text.remove_suffix(1);
    }
    Guid g;
    const auto d1 = readHex<std::uint32_t>(text, 8);
    if (!d1 || !consume(text, '-'))
        return std::nullopt;
    const auto d2 = readHex<std::uint16_t>(text, 4);
    if (!d2 || !consume(text, '-'))
        return std::nullopt;
    const auto d3 = readHex<std::uint16_t>(text, 4);
    if (!d3 || !consume(text, '-'))
        return std::nullopt;
    g.data1 = *d1;
    g.data2 = *d2;
    g.data3 = *d3;
    for (std::size_t i = 0; i < g.data4.size(); ++i) {
        if (i == 2 && !consume(text, '-'))
            return std::nullopt;
        const auto byte = readHex<std::uint8_t>(text, 2);
        if (!byte)
            return std::nullopt;
        g.data4[i] = *byte;
    }
    if (!text.empty())
        return std::nullopt;
    return g;
}

std::string Guid::toString() const {
    char buffer[39];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  data1, data2, data3, data4[0], data4[1], data4[2], data4[3], data4[4], data4[5],
                  data4[6], data4[7]);
    return buffer;
}

}  // namespace component
