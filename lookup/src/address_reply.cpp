#include "ombrix/lookup/address_reply.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>

#include "address_text.h"
#include "byte_reader.h"
#include "name_reader.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/response_code.h"
#include "opt_record.h"
#include "reply.h"
#include "reply_fault.h"
#include "resource_record.h"
#include "section_walk.h"

namespace ombrix::lookup {
namespace {

using Kind = ReplyFault::Kind;

constexpr std::uint8_t kNoError = 0;
constexpr std::uint8_t kNameError = 3;
constexpr std::uint16_t kTypeSoa = 6;
constexpr std::size_t kSoaMinimumFromEnd = 4;  // MINIMUM is the last of the SOA's fields

// Reads the sections of one address reply after its header.
class AddressSectionReader {
  public:
    AddressSectionReader(std::span<const std::uint8_t> reply, const ReplyHeader& header,
                         const WireName& qname, std::uint16_t qtype)
        : reader_(reply), header_(header), chain_(qname), qtype_(qtype) {
        reader_.skip(kHeaderOctets);
    }

    Checked read() {
        const std::array<SectionEntry<AddressSectionReader>, 4> sections = {{
            {"question", header_.questions, &AddressSectionReader::readQuestion},
            {"answer", header_.answers, &AddressSectionReader::readAnswer},
            {"authority record", header_.authorities, &AddressSectionReader::skipAuthority},
            {"additional record", header_.additionals, &AddressSectionReader::readAdditional},
        }};
        return walkSections(*this, sections);
    }

    std::vector<std::string>& addresses() { return addresses_; }
    std::uint32_t addressTtl() const { return addressTtl_.value_or(0); }
    std::uint32_t negativeTtl() const { return negativeTtl_.value_or(0); }
    bool aliased() const { return chain_.canonical().has_value(); }
    std::optional<ReplyEdns>& edns() { return opt_.edns(); }

  private:
    Checked readQuestion() { return chain_.readQuestion(reader_); }

    // Passes over the authority records, keeping what an SOA says about caching a negative
    // answer.
    Checked skipAuthority() {
        SkippedName owner;
        auto record = readRecord(reader_, owner);
        if (!record) {
            return Unexpected(record.error());
        }
        if (record->type == kTypeSoa && record->data.remaining() >= kSoaMinimumFromEnd) {
            record->data.skip(record->data.remaining() - kSoaMinimumFromEnd);
            const auto minimum = std::min(record->ttl, record->data.u32().value_or(0));
            negativeTtl_ = std::min(negativeTtl_.value_or(minimum), minimum);
        }
        return refuseOpt(*record);
    }

    Checked readAdditional() {
        SkippedName owner;
        auto record = readRecord(reader_, owner);
        if (!record) {
            return Unexpected(record.error());
        }
        return opt_.readAdditional(*record);
    }

    Checked readAnswer() {
        return chain_.readAnswer(reader_, qtype_,
                                 [this](ResourceRecord& record) { return addAddress(record); });
    }

    Checked addAddress(ResourceRecord& record) {
        const std::size_t expected = qtype_ == kTypeA ? kIpv4Octets : kIpv6Octets;
        const std::size_t octets = record.data.remaining();
        const auto bytes = record.data.bytes(octets);
        if (octets != expected || !bytes) {
            return fail(Kind::addressOfWrongLength, record.offset, octets);
        }
        addresses_.push_back(qtype_ == kTypeA ? ipv4Text(*bytes) : ipv6Text(*bytes));
        addressTtl_ = std::min(addressTtl_.value_or(record.ttl), record.ttl);
        return std::monostate{};
    }

    ByteReader reader_;
    const ReplyHeader& header_;
    AnswerChain chain_;
    OptRecordReader opt_;
    std::uint16_t qtype_;
    std::vector<std::string> addresses_;
    std::optional<std::uint32_t> addressTtl_;
    std::optional<std::uint32_t> negativeTtl_;
};

AddressResult failed(AddressResult result, AddressStatus status, Fault fault) {
    result.status = status;
    result.fault = std::move(fault);
    return result;
}

}  // namespace

AddressResult readAddressReply(std::span<const std::uint8_t> reply, const WireName& qname,
                               std::uint16_t qtype) {
    const auto header = readHeader(reply);
    if (!header) {
        return failed({}, AddressStatus::malformed, describe(ReplyFault{Kind::endsInHeader}));
    }
    // A failure reply is walked too: its OPT may say why it failed.
    AddressSectionReader sections(reply, *header, qname, qtype);
    const auto read = sections.read();
    AddressResult result;
    result.reply = replySignals(*header, read ? std::move(sections.edns()) : std::nullopt);
    const std::uint16_t rcode = fullResponseCode(result.reply, *header);
    if (rcode != kNoError && rcode != kNameError) {
        return failed(
            std::move(result), AddressStatus::serverFailure,
            Fault{Fault::Kind::serverFailure, "DNS server answered " + responseCodeName(rcode)});
    }
    if (!read) {
        return failed(std::move(result), AddressStatus::malformed, describe(read.error()));
    }
    result.addresses = std::move(sections.addresses());
    if (!result.addresses.empty()) {
        result.status = sections.aliased() ? AddressStatus::foundViaAlias : AddressStatus::found;
        result.ttl = sections.addressTtl();
    } else {
        result.status = rcode == kNameError ? AddressStatus::nxdomain : AddressStatus::noAddress;
        result.ttl = sections.negativeTtl();
    }
    return result;
}

bool isAddressLiteral(std::string_view name) {
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    const std::string text(name);
    in6_addr scratch{};
    return inet_pton(AF_INET, text.c_str(), &scratch) == 1 ||
           inet_pton(AF_INET6, text.c_str(), &scratch) == 1;
}

}  // namespace ombrix::lookup
