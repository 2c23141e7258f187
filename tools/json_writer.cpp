#include "tools/json_writer.h"

#include <array>
#include <charconv>

namespace ombrix::tools {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return byte >= low && byte <= high;
}

// How long the UTF-8 sequence starting at text[at] is when it is well formed (the table of
// well-formed byte sequences: no overlong forms, no surrogates, nothing past U+10FFFF);
// otherwise 0, and skip says how many bytes its one U+FFFD stands for: the longest start of
// a sequence that was still well formed, at least one byte.
std::size_t sequenceLength(std::string_view text, std::size_t at, std::size_t& skip) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    skip = 1;
    if (length == 0) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= text.size() || !isContinuation(static_cast<unsigned char>(text[at + i]),
                                                     i == 1 ? low : 0x80, i == 1 ? high : 0xBF)) {
            skip = i;
            return 0;
        }
    }
    return length;
}

// The escape of a byte below 0x20, or of the quote and the backslash.
void appendEscape(std::string& out, unsigned char byte) {
    switch (byte) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\b':
            out += "\\b";
            return;
        case '\f':
            out += "\\f";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            break;
    }
    constexpr std::string_view kHex = "0123456789abcdef";
    out += "\\u00";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

bool needsEscape(unsigned char byte) {
    return byte < 0x20 || byte == '"' || byte == '\\';
}

}  // namespace

void appendEscaped(std::string& out, std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        // Plain ASCII, the bulk of every line, goes in runs.
        std::size_t run = at;
        while (run < text.size() && static_cast<unsigned char>(text[run]) < 0x80 &&
               !needsEscape(static_cast<unsigned char>(text[run]))) {
            ++run;
        }
        out.append(text, at, run - at);
        at = run;
        if (at == text.size()) {
            break;
        }
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            appendEscape(out, byte);
            ++at;
            continue;
        }
        std::size_t skip = 1;
        if (const auto length = sequenceLength(text, at, skip); length > 0) {
            out.append(text, at, length);
            at += length;
        } else {
            out += kReplacement;
            at += skip;
        }
    }
}

void JsonWriter::separate() {
    if (!first_) {
        out_ += ',';
    }
    first_ = false;
}

void JsonWriter::beginObject() {
    separate();
    out_ += '{';
    first_ = true;
}

void JsonWriter::endObject() {
    out_ += '}';
    first_ = false;
}

void JsonWriter::beginArray() {
    separate();
    out_ += '[';
    first_ = true;
}

void JsonWriter::endArray() {
    out_ += ']';
    first_ = false;
}

void JsonWriter::key(std::string_view name) {
    string(name);
    out_ += ':';
    // The value that follows belongs to this key: no comma before it.
    first_ = true;
}

void JsonWriter::string(std::string_view text) {
    separate();
    out_ += '"';
    appendEscaped(out_, text);
    out_ += '"';
}

void JsonWriter::boolean(bool value) {
    separate();
    out_ += value ? "true" : "false";
}

void JsonWriter::number(std::int64_t value) {
    separate();
    std::array<char, 24> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    out_.append(digits.data(), end);
}

void JsonWriter::milliseconds(std::chrono::microseconds duration) {
    const auto count = duration.count();
    const auto magnitude =
        count < 0 ? 0 - static_cast<std::uint64_t>(count) : static_cast<std::uint64_t>(count);
    separate();
    if (count < 0) {
        out_ += '-';
    }
    std::array<char, 24> digits{};
    const auto end =
        std::to_chars(digits.data(), digits.data() + digits.size(), magnitude / 1000).ptr;
    out_.append(digits.data(), end);
    // The shortest decimals that give the value back, as a JSON number reader does.
    const auto fraction = static_cast<unsigned>(magnitude % 1000);
    out_ += '.';
    if (fraction == 0) {
        out_ += '0';
        return;
    }
    char decimals[3] = {static_cast<char>('0' + fraction / 100),
                        static_cast<char>('0' + fraction / 10 % 10),
                        static_cast<char>('0' + fraction % 10)};
    std::size_t kept = 3;
    while (decimals[kept - 1] == '0') {
        --kept;
    }
    out_.append(decimals, kept);
}

}  // namespace ombrix::tools
