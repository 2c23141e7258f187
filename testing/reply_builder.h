#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ombrix::testing {

using Bytes = std::vector<std::uint8_t>;

// A name as labels, ending with the root's zero byte or, when given, a compression pointer.
inline Bytes name(std::string_view dotted, std::optional<std::uint16_t> pointer = std::nullopt) {
    Bytes out;
    while (!dotted.empty()) {
        const auto dot = dotted.find('.');
        const auto label = dotted.substr(0, dot);
        out.push_back(static_cast<std::uint8_t>(label.size()));
        out.insert(out.end(), label.begin(), label.end());
        dotted.remove_prefix(dot == std::string_view::npos ? dotted.size() : dot + 1);
    }
    if (pointer) {
        out.push_back(static_cast<std::uint8_t>(0xC0 | *pointer >> 8));
        out.push_back(static_cast<std::uint8_t>(*pointer & 0xFF));
    } else {
        out.push_back(0);
    }
    return out;
}

// The ID of a query, from its first two bytes, for the reply to repeat.
inline std::uint16_t idOf(const Bytes& query) {
    return static_cast<std::uint16_t>(query.at(0) << 8 | query.at(1));
}

// The same message with the TC bit set, as a server marks a reply it had to cut.
inline Bytes truncated(Bytes reply) {
    reply.at(2) |= 0x02;  // flags, high byte: QR, opcode, AA, TC (0x02), RD
    return reply;
}

// The same message with another response code.
inline Bytes withResponseCode(Bytes reply, std::uint8_t rcode) {
    // flags, low byte: RA, Z, AD, CD, then the four bits of the response code
    reply.at(3) = static_cast<std::uint8_t>((reply.at(3) & 0xF0) | rcode);
    return reply;
}

// One EDNS option: its code, its length, its data.
inline Bytes ednsOption(std::uint16_t code, const Bytes& data) {
    Bytes out{static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code & 0xFF),
              static_cast<std::uint8_t>(data.size() >> 8),
              static_cast<std::uint8_t>(data.size() & 0xFF)};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// An Extended DNS Error option: the info-code, then the extra text.
inline Bytes extendedError(std::uint16_t infoCode, std::string_view text = {}) {
    Bytes data{static_cast<std::uint8_t>(infoCode >> 8),
               static_cast<std::uint8_t>(infoCode & 0xFF)};
    data.insert(data.end(), text.begin(), text.end());
    return ednsOption(15, data);
}

inline Bytes pointerTo(std::uint16_t offset) {
    return name("", offset);
}

inline Bytes mxData(std::uint16_t pref, const Bytes& exchange) {
    Bytes out{static_cast<std::uint8_t>(pref >> 8), static_cast<std::uint8_t>(pref & 0xFF)};
    out.insert(out.end(), exchange.begin(), exchange.end());
    return out;
}

// Builds well-formed replies section by section; the counts follow what was added.
class ReplyBuilder {
  public:
    static constexpr std::uint16_t kQuestionOffset = 12;

    explicit ReplyBuilder(std::string_view qname, std::uint16_t id = 4575,
                          std::uint16_t qtype = 15) {
        bytes_ = {static_cast<std::uint8_t>(id >> 8),
                  static_cast<std::uint8_t>(id & 0xFF),
                  0x81,
                  0x80,
                  0,
                  1,
                  0,
                  0,
                  0,
                  0,
                  0,
                  0};
        append(name(qname));
        append(
            {static_cast<std::uint8_t>(qtype >> 8), static_cast<std::uint8_t>(qtype & 0xFF), 0, 1});
    }

    // Where the next record will start, for pointers into it.
    std::uint16_t offset() const { return static_cast<std::uint16_t>(bytes_.size()); }

    ReplyBuilder& answer(const Bytes& owner, std::uint16_t type, const Bytes& data,
                         std::uint16_t rrClass = 1) {
        return record(6, owner, type, data, rrClass);
    }
    ReplyBuilder& mx(std::uint16_t pref, const Bytes& exchange) {
        return answer(pointerTo(kQuestionOffset), 15, mxData(pref, exchange));
    }
    ReplyBuilder& authority(const Bytes& owner, std::uint16_t type, const Bytes& data) {
        return record(8, owner, type, data, 1);
    }
    ReplyBuilder& additional(const Bytes& owner, std::uint16_t type, const Bytes& data) {
        return record(10, owner, type, data, 1);
    }
    // An OPT record: the payload size in the class, the extended rcode, version and flags in
    // the TTL, the options as data.
    ReplyBuilder& opt(std::uint16_t payload, std::uint32_t ttl = 0, const Bytes& options = {},
                      const Bytes& owner = name("")) {
        return record(10, owner, 41, options, payload, ttl);
    }

    const Bytes& bytes() const { return bytes_; }

  private:
    void append(const Bytes& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }

    ReplyBuilder& record(std::size_t countAt, const Bytes& owner, std::uint16_t type,
                         const Bytes& data, std::uint16_t rrClass, std::uint32_t ttl = 3600) {
        append(owner);
        append({static_cast<std::uint8_t>(type >> 8), static_cast<std::uint8_t>(type & 0xFF),
                static_cast<std::uint8_t>(rrClass >> 8), static_cast<std::uint8_t>(rrClass & 0xFF),
                static_cast<std::uint8_t>(ttl >> 24), static_cast<std::uint8_t>(ttl >> 16 & 0xFF),
                static_cast<std::uint8_t>(ttl >> 8 & 0xFF), static_cast<std::uint8_t>(ttl & 0xFF),
                static_cast<std::uint8_t>(data.size() >> 8),
                static_cast<std::uint8_t>(data.size() & 0xFF)});
        append(data);
        ++bytes_.at(countAt + 1);
        return *this;
    }

    Bytes bytes_;
};

}  // namespace ombrix::testing
