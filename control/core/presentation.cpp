#include "control/core/presentation.h"

#include <algorithm>

#include "control/core/byte_reader.h"

namespace ombrix::core {

namespace {

bool isPlain(std::uint8_t byte) {
    return byte >= 0x20 && byte <= 0x7E && byte != '.' && byte != '\\';
}

void appendEscaped(std::string& out, std::uint8_t byte) {
    if (isPlain(byte)) {
        out += static_cast<char>(byte);
    } else if (byte == '.' || byte == '\\') {
        out += '\\';
        out += static_cast<char>(byte);
    } else {
        out += '\\';
        out += static_cast<char>('0' + byte / 100);
        out += static_cast<char>('0' + byte / 10 % 10);
        out += static_cast<char>('0' + byte % 10);
    }
}

}  // namespace

void appendPresentationLabel(std::string& text, std::span<const std::uint8_t> label, bool first) {
    if (!first) {
        text += '.';
    }
    // Host names are plain text throughout: copy them whole.
    if (std::all_of(label.begin(), label.end(), isPlain)) {
        text.append(reinterpret_cast<const char*>(label.data()), label.size());
        return;
    }
    for (const std::uint8_t byte : label) {
        appendEscaped(text, byte);
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

}  // namespace ombrix::core
