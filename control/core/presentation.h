#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "control/core/domain_name.h"

namespace ombrix::core {

// A wire name as text: labels joined by ".", no final dot, the root as "". A "." inside a
// label becomes "\.", a "\" becomes "\\" and a byte outside printable ASCII "\DDD", so the
// text never carries control characters and reads back to the same labels.
std::string toPresentation(const WireName& name);

// Appends one label to text in presentation form, after a "." unless it is the first.
void appendPresentationLabel(std::string& text, std::span<const std::uint8_t> label, bool first);

// Writes a name straight into text in presentation form as readNameInto reads it; the text
// is emptied first, so its storage is reused.
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

}  // namespace ombrix::core
