#include "ombrix/lookup/presentation.h"

#include "ombrix/lookup/byte_reader.h"

namespace ombrix::lookup {

void appendEscapedLabel(std::string& text, std::span<const std::uint8_t> label) {
    for (const std::uint8_t byte : label) {
        if (isPlainPresentationByte(byte)) {
            text += static_cast<char>(byte);
        } else if (byte == '.' || byte == '\\') {
            text += '\\';
            text += static_cast<char>(byte);
        } else {
            text += '\\';
            text += static_cast<char>('0' + byte / 100);
            text += static_cast<char>('0' + byte / 10 % 10);
            text += static_cast<char>('0' + byte % 10);
        }
    }
}

std::string toPresentation(const WireName& name) {
    std::string out;
    ByteReader reader(name.bytes);
    bool first = true;
    for (auto length = reader.u8(); length && *length != 0; length = reader.u8()) {
        const auto label = reader.bytes(*length);
        if (!label) {
            break;
        }
        appendPresentationLabel(out, *label, first);
        first = false;
    }
    return out;
}

}  // namespace ombrix::lookup
