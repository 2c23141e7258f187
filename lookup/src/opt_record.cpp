#include "opt_record.h"

#include <string>
#include <utility>

#include "name_reader.h"

namespace ombrix::lookup {
namespace {

using Kind = ReplyFault::Kind;

constexpr std::uint16_t kOptionExtendedError = 15;
constexpr std::uint32_t kDnssecOkBit = 0x8000;

// Tells whether the name read is the root.
class RootCheck {
  public:
    void label(std::span<const std::uint8_t>) { root_ = false; }
    void root() {}
    bool isRoot() const { return root_; }

  private:
    bool root_ = true;
};

// The owner was read once already when the record was, so it reads again.
bool ownedByRoot(const ResourceRecord& record) {
    auto owner = record.data.at(record.offset, record.data.message().size());
    RootCheck check;
    return owner && readName(*owner, check) && check.isRoot();
}

Checked readOption(ByteReader& data, ReplyEdns& edns) {
    const std::size_t at = data.offset();
    const auto code = data.u16();
    const auto length = data.u16();
    auto body = code && length ? data.take(*length) : std::nullopt;
    if (!body) {
        return fail(Kind::optionOutsideOpt, at);
    }
    if (*code != kOptionExtendedError) {
        return std::monostate{};
    }
    const auto infoCode = body->u16();
    if (!infoCode) {
        return fail(Kind::extendedErrorWithoutCode, at);
    }
    const auto text = body->bytes(body->remaining()).value_or(std::span<const std::uint8_t>{});
    edns.errors.push_back(ExtendedError{*infoCode, std::string(text.begin(), text.end())});
    return std::monostate{};
}

}  // namespace

Checked refuseOpt(const ResourceRecord& record) {
    if (record.type == kTypeOpt) {
        return fail(Kind::optOutsideAdditional, record.offset);
    }
    return std::monostate{};
}

Checked skipRecordRefusingOpt(ByteReader& reader) {
    SkippedName owner;
    auto record = readRecord(reader, owner);
    if (!record) {
        return Unexpected(record.error());
    }
    return refuseOpt(*record);
}

Checked OptRecordReader::readAdditional(const ResourceRecord& record) {
    if (record.type != kTypeOpt) {
        return std::monostate{};
    }
    if (edns_) {
        return fail(Kind::secondOpt, record.offset);
    }
    if (!ownedByRoot(record)) {
        return fail(Kind::optOwnerNotRoot, record.offset);
    }
    // The class holds the payload size, the TTL the extended rcode, version and flags.
    ReplyEdns edns;
    edns.udpPayload = record.rrClass;
    edns.rcode = static_cast<std::uint16_t>((record.ttl >> 24) << 4);
    edns.version = static_cast<std::uint8_t>(record.ttl >> 16 & 0xFF);
    edns.dnssecOk = (record.ttl & kDnssecOkBit) != 0;
    // Every option takes at least its four-byte head, so the loop ends.
    for (ByteReader data = record.data; data.remaining() > 0;) {
        if (auto read = readOption(data, edns); !read) {
            return read;
        }
    }
    edns_ = std::move(edns);
    return std::monostate{};
}

ReplySignals replySignals(const ReplyHeader& header, std::optional<ReplyEdns> edns) {
    if (edns) {
        edns->rcode = static_cast<std::uint16_t>(edns->rcode | header.rcode);
    }
    return ReplySignals{header.authenticData, header.checkingDisabled, std::move(edns)};
}

}  // namespace ombrix::lookup
