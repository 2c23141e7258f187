#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace ombrix::lookup {

// Reads big-endian fields from a DNS message without ever leaving it. Every read either
// completes and moves the cursor, or returns nothing and leaves the cursor where it was.
// A reader may be fenced short of the message's end (a record's data), while the whole
// message stays reachable for compression pointers through message().
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> message)
        : message_(message), offset_(0), limit_(message.size()) {}

    std::span<const std::uint8_t> message() const { return message_; }
    std::size_t offset() const { return offset_; }
    std::size_t limit() const { return limit_; }
    std::size_t remaining() const { return limit_ - offset_; }
    // Whether the fence is the end of the message itself rather than a record's end.
    bool fencedAtMessageEnd() const { return limit_ == message_.size(); }

    std::optional<std::uint8_t> u8() {
        if (remaining() < 1) {
            return std::nullopt;
        }
        return message_[offset_++];
    }

    std::optional<std::uint16_t> u16() {
        if (remaining() < 2) {
            return std::nullopt;
        }
        const auto value =
            static_cast<std::uint16_t>(message_[offset_] << 8 | message_[offset_ + 1]);
        offset_ += 2;
        return value;
    }

    std::optional<std::uint32_t> u32() {
        if (remaining() < 4) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            value = value << 8 | message_[offset_ + i];
        }
        offset_ += 4;
        return value;
    }

    std::optional<std::span<const std::uint8_t>> bytes(std::size_t count) {
        if (remaining() < count) {
            return std::nullopt;
        }
        auto taken = message_.subspan(offset_, count);
        offset_ += count;
        return taken;
    }

    bool skip(std::size_t count) { return bytes(count).has_value(); }

    // A reader over the next count bytes, which this reader steps past; nothing when fewer
    // remain.
    std::optional<ByteReader> take(std::size_t count) {
        if (remaining() < count) {
            return std::nullopt;
        }
        ByteReader inner(message_, offset_, offset_ + count);
        offset_ += count;
        return inner;
    }

    // A reader over [offset, limit) of the same message; used to follow compression pointers.
    // Nothing when the range does not lie inside the message.
    std::optional<ByteReader> at(std::size_t offset, std::size_t limit) const {
        if (offset > limit || limit > message_.size()) {
            return std::nullopt;
        }
        return ByteReader(message_, offset, limit);
    }

  private:
    ByteReader(std::span<const std::uint8_t> message, std::size_t offset, std::size_t limit)
        : message_(message), offset_(offset), limit_(limit) {}

    std::span<const std::uint8_t> message_;
    std::size_t offset_;
    std::size_t limit_;
};

}  // namespace ombrix::lookup
