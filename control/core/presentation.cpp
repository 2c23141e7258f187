#include "control/core/presentation.h"

#include <cstdint>

#include "control/core/byte_reader.h"

namespace ombrix::core {

namespace {

void appendEscaped(std::string& out, std::uint8_t byte) {
    if (byte == '.' || byte == '\\') {
        out += '\\';
        out += static_cast<char>(byte);
    } else if (byte >= 0x20 && byte <= 0x7E) {
        out += static_cast<char>(byte);
    } else {
        out += '\\';
        out += static_cast<char>('0' + byte / 100);
        out += static_cast<char>('0' + byte / 10 % 10);
        out += static_cast<char>('0' + byte % 10);
    }
}

}  // namespace

std::string toPresentation(const WireName& name) {
    std::string out;
    ByteReader reader(name.bytes);
    bool first = true;
    for (auto length = reader.u8(); length && *length != 0; length = reader.u8()) {
        const auto label = reader.bytes(*length);
        if (!label) {
            break;
        }
        if (!first) {
            out += '.';
        }
        first = false;
        for (const std::uint8_t byte : *label) {
            appendEscaped(out, byte);
        }
    }
    return out;
}

}  // namespace ombrix::core
