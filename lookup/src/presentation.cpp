#include "ombrix/lookup/presentation.h"

#include "presentation_buffer.h"

#include "byte_reader.h"

namespace ombrix::lookup {

std::string toPresentation(const WireName& name) {
    // Every label byte takes at most four characters, and each length byte pays for a dot.
    std::string text(name.bytes.size() * 4, '\0');
    char* end = text.data();
    ByteReader reader(name.bytes);
    for (auto length = reader.u8(); length && *length != 0; length = reader.u8()) {
        const auto label = reader.bytes(*length);
        if (!label) {
            break;
        }
        if (end != text.data()) {
            *end++ = '.';
        }
        end = writePresentationLabel(end, *label);
    }
    text.resize(static_cast<std::size_t>(end - text.data()));
    return text;
}

}  // namespace ombrix::lookup
