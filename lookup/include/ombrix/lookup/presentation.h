#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "ombrix/lookup/domain_name.h"

namespace ombrix::lookup {

// A wire name as text: labels joined by ".", no final dot, the root as "". A "." inside a
// label becomes "\.", a "\" becomes "\\" and a byte outside printable ASCII "\DDD", so the
// text never carries control characters and reads back to the same labels.
std::string toPresentation(const WireName& name);

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

// Appends a label that holds bytes to escape, byte by byte.
void appendEscapedLabel(std::string& text, std::span<const std::uint8_t> label);

// Appends one label to text in presentation form, after a "." unless it is the first.
inline void appendPresentationLabel(std::string& text, std::span<const std::uint8_t> label,
                                    bool first) {
    if (!first) {
        text += '.';
    }
    // Host names are plain text throughout: copy them whole.
    if (std::all_of(label.begin(), label.end(), isPlainPresentationByte)) {
        text.append(reinterpret_cast<const char*>(label.data()), label.size());
    } else {
        appendEscapedLabel(text, label);
    }
}

// Writes a name straight into text in presentation form as readName reads it; the text is
// emptied first.
class PresentationText {
  public:
    explicit PresentationText(std::string& text) : text_(text) { text_.clear(); }
    void label(std::span<const std::uint8_t> label) {
        appendPresentationLabel(text_, label, first_);
        first_ = false;
    }
    void root() {}

  private:
    std::string& text_;
    bool first_ = true;
};

}  // namespace ombrix::lookup
