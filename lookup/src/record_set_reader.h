#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "byte_reader.h"
#include "ombrix/lookup/presentation.h"
#include "ombrix/lookup/record_reply.h"
#include "ombrix/lookup/response_code.h"
#include "opt_record.h"
#include "reply.h"
#include "reply_fault.h"
#include "resource_record.h"
#include "section_walk.h"

namespace ombrix::lookup {

// Reads the sections of a reply to a query for one record type: the answers owned by the
// asked name, or by wherever its CNAME chain leads, go through decode, which turns a record's
// data into a Record or a fault.
template <class Record, class Decode>
class RecordSetReader {
  public:
    RecordSetReader(std::span<const std::uint8_t> reply, const ReplyHeader& header,
                    const WireName& qname, std::uint16_t qtype, Decode decode)
        : reader_(reply),
          header_(header),
          chain_(qname),
          qtype_(qtype),
          decode_(std::move(decode)) {
        reader_.skip(kHeaderOctets);
    }

    Checked read() {
        const std::array<SectionEntry<RecordSetReader>, 4> sections = {{
            {"question", header_.questions, &RecordSetReader::readQuestion},
            {"answer", header_.answers, &RecordSetReader::readAnswer},
            {"authority record", header_.authorities, &RecordSetReader::skipAuthority},
            {"additional record", header_.additionals, &RecordSetReader::readAdditional},
        }};
        return walkSections(*this, sections);
    }

    std::vector<Record>& records() { return records_; }
    std::uint32_t answerTtl() const { return answerTtl_.value_or(0); }
    std::uint32_t negativeTtl() const { return negativeTtl_.value_or(0); }
    const std::optional<WireName>& canonical() const { return chain_.canonical(); }
    std::optional<ReplyEdns>& edns() { return opt_.edns(); }

  private:
    Checked readQuestion() { return chain_.readQuestion(reader_); }

    // Passes over the authority records, keeping what an SOA says about caching a negative
    // answer: the smaller of its TTL and its MINIMUM, the last of its fields.
    Checked skipAuthority() {
        constexpr std::uint16_t kTypeSoa = 6;
        constexpr std::size_t kMinimumFromEnd = 4;
        SkippedName owner;
        auto record = readRecord(reader_, owner);
        if (!record) {
            return Unexpected(record.error());
        }
        if (record->type == kTypeSoa && record->data.remaining() >= kMinimumFromEnd) {
            record->data.skip(record->data.remaining() - kMinimumFromEnd);
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
        return chain_.readAnswer(reader_, qtype_, [this](ResourceRecord& record) -> Checked {
            auto decoded = decode_(record);
            if (!decoded) {
                return Unexpected(decoded.error());
            }
            records_.push_back(std::move(*decoded));
            answerTtl_ = std::min(answerTtl_.value_or(record.ttl), record.ttl);
            return std::monostate{};
        });
    }

    ByteReader reader_;
    const ReplyHeader& header_;
    AnswerChain chain_;
    OptRecordReader opt_;
    std::uint16_t qtype_;
    Decode decode_;
    std::vector<Record> records_;
    std::optional<std::uint32_t> answerTtl_;
    std::optional<std::uint32_t> negativeTtl_;
};

// Reads an accepted reply to a query for qtype at qname into the typed records; see
// RecordSetReader for what counts.
template <class Record, class Decode>
RecordReply<Record> readRecordSet(std::span<const std::uint8_t> reply, const WireName& qname,
                                  std::uint16_t qtype, Decode decode) {
    constexpr std::uint8_t kNoError = 0;
    constexpr std::uint8_t kNameError = 3;
    RecordReply<Record> result;
    const auto header = readHeader(reply);
    if (!header) {
        result.fault = describe(ReplyFault{ReplyFault::Kind::endsInHeader});
        return result;
    }
    // A failure reply is walked too: its OPT may say why it failed.
    RecordSetReader<Record, Decode> sections(reply, *header, qname, qtype, std::move(decode));
    const auto read = sections.read();
    result.reply = replySignals(*header, read ? std::move(sections.edns()) : std::nullopt);
    const std::uint16_t rcode = fullResponseCode(result.reply, *header);
    result.rcode = rcode;
    if (rcode != kNoError && rcode != kNameError) {
        result.status = RecordStatus::serverFailure;
        result.fault =
            Fault{Fault::Kind::serverFailure, "DNS server answered " + responseCodeName(rcode)};
        return result;
    }
    if (!read) {
        result.fault = describe(read.error());
        return result;
    }
    result.records = std::move(sections.records());
    if (sections.canonical()) {
        result.canonicalName = toPresentation(*sections.canonical());
    }
    if (!result.records.empty()) {
        result.status = RecordStatus::found;
        result.ttl = sections.answerTtl();
    } else {
        result.status = rcode == kNameError ? RecordStatus::nxdomain : RecordStatus::noData;
        result.ttl = sections.negativeTtl();
    }
    return result;
}

}  // namespace ombrix::lookup
