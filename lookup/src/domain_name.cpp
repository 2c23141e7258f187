#include "ombrix/lookup/domain_name.h"

#include <idn2.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

#include "byte_reader.h"

namespace ombrix::lookup {

namespace {

constexpr std::size_t kMaxLabelOctets = 63;
constexpr std::size_t kMaxNameCharacters = 253;

Unexpected<Fault> invalidDomain(const std::string& why) {
    return Unexpected(Fault{Fault::Kind::invalidDomain, "Invalid domain name: " + why});
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The ASCII form of a name with characters beyond ASCII: IDNA2008 with the UTS #46 mapping.
Expected<std::string, Fault> toAsciiName(std::string_view domain) {
    const std::string terminated(domain);
    char* converted = nullptr;
    const int status =
        idn2_to_ascii_8z(terminated.c_str(), &converted, IDN2_NONTRANSITIONAL | IDN2_NFC_INPUT);
    const std::unique_ptr<char, decltype(&idn2_free)> owner(converted, &idn2_free);
    if (status != IDN2_OK) {
        return invalidDomain(std::string("it is not a valid internationalised name (") +
                             idn2_strerror(status) + ")");
    }
    return std::string(converted);
}

Expected<WireName, Fault> toWire(std::string_view name) {
    if (name == ".") {
        return invalidDomain("the root alone is not a domain");
    }
    if (name.ends_with('.')) {
        name.remove_suffix(1);
    }
    if (name.size() > kMaxNameCharacters) {
        return invalidDomain("it is " + std::to_string(name.size()) +
                             " characters long; at most 253 are allowed");
    }
    WireName wire;
    wire.bytes.reserve(name.size() + 2);
    std::size_t labelNumber = 0;
    for (;;) {
        ++labelNumber;
        const std::size_t dot = name.find('.');
        const std::string_view label = name.substr(0, dot);
        if (label.empty()) {
            return invalidDomain("label " + std::to_string(labelNumber) + " is empty");
        }
        if (label.size() > kMaxLabelOctets) {
            return invalidDomain("label " + std::to_string(labelNumber) + " is " +
                                 std::to_string(label.size()) +
                                 " octets long; at most 63 are allowed");
        }
        wire.bytes.push_back(static_cast<std::uint8_t>(label.size()));
        wire.bytes.insert(wire.bytes.end(), label.begin(), label.end());
        if (dot == std::string_view::npos) {
            break;
        }
        name.remove_prefix(dot + 1);
    }
    wire.bytes.push_back(0);
    return wire;
}

}  // namespace

Expected<WireName, Fault> encodeDomain(std::string_view domain) {
    if (domain.empty()) {
        return invalidDomain("it is empty");
    }
    // A NUL would end the name early for some readers and ride inside a label for others.
    if (domain.find('\0') != std::string_view::npos) {
        return invalidDomain("it contains a NUL character");
    }
    if (isAscii(domain)) {
        return toWire(domain);
    }
    auto ascii = toAsciiName(domain);
    if (!ascii) {
        return Unexpected(std::move(ascii).error());
    }
    return toWire(ascii.value());
}

bool sameName(const WireName& a, const WireName& b) {
    if (a.bytes.size() != b.bytes.size()) {
        return false;
    }
    ByteReader left(a.bytes);
    ByteReader right(b.bytes);
    for (;;) {
        const auto leftLength = left.u8();
        const auto rightLength = right.u8();
        if (!leftLength || !rightLength) {
            return !leftLength && !rightLength;
        }
        if (*leftLength != *rightLength) {
            return false;
        }
        const auto leftLabel = left.bytes(*leftLength);
        const auto rightLabel = right.bytes(*rightLength);
        if (!leftLabel || !rightLabel) {
            return false;
        }
        if (!std::equal(leftLabel->begin(), leftLabel->end(), rightLabel->begin(),
                        [](std::uint8_t x, std::uint8_t y) {
                            return foldAsciiCase(x) == foldAsciiCase(y);
                        })) {
            return false;
        }
    }
}

}  // namespace ombrix::lookup
