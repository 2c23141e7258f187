#pragma once

// The reply walk's hot path of presentation form: names written as text while they are read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>

namespace ombrix::lookup {

// Whether a byte stands for itself in presentation form.
inline bool isPlainPresentationByte(std::uint8_t byte) {
    // Looked up rather than tested: every byte of every name read passes through here.
    static constexpr auto kPlain = [] {
        std::array<bool, 256> plain{};
        for (std::size_t value = 0x20; value <= 0x7E; ++value) {
            plain.at(value) = value != '.' && value != '\\';
        }
        return plain;
    }();
    return kPlain[byte];
}

// Writes one label in presentation form at out, which has room for four characters per label
// byte; returns the end of what was written.
inline char* writePresentationLabel(char* out, std::span<const std::uint8_t> label) {
    for (const std::uint8_t byte : label) {
        if (isPlainPresentationByte(byte)) {
            *out++ = static_cast<char>(byte);
        } else if (byte == '.' || byte == '\\') {
            *out++ = '\\';
            *out++ = static_cast<char>(byte);
        } else {
            *out++ = '\\';
            *out++ = static_cast<char>('0' + byte / 100);
            *out++ = static_cast<char>('0' + byte / 10 % 10);
            *out++ = static_cast<char>('0' + byte % 10);
        }
    }
    return out;
}

// The presentation text of one name, built in place as readName hands over its labels. The
// longest name there is (255 octets, every label byte escaped) fits, so building it never
// allocates; a caller keeps the text only once the name has passed every rule.
class PresentationName {
  public:
    // At most 253 label bytes fit in 255 octets, each written as "\DDD" at worst.
    static constexpr std::size_t kCapacity = 253 * 4;

    // Leaves the storage as it is: a name writes only what it reads.
    PresentationName() {}  // NOLINT(modernize-use-equals-default)

    void label(std::span<const std::uint8_t> label) {
        // The label, its dot and its escapes; readName's 255-octet rule keeps within this.
        if (label.size() * 4 + 1 > kCapacity - size_) {
            throw std::length_error("a name longer than DNS allows reached PresentationName");
        }
        char* out = text_.data() + size_;
        if (size_ != 0) {
            *out++ = '.';
        }
        size_ = static_cast<std::size_t>(writePresentationLabel(out, label) - text_.data());
    }
    void root() {}

    std::string_view text() const { return {text_.data(), size_}; }

  private:
    std::array<char, kCapacity> text_;
    std::size_t size_ = 0;
};

}  // namespace ombrix::lookup
