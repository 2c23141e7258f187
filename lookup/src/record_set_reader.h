#pragma once

#include <array>
#include <cstdint>
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
    const std::optional<WireName>& canonical() const { return chain_.canonical(); }
    std::optional<ReplyEdns>& edns() { return opt_.edns(); }

  private:
    Checked readQuestion() { return chain_.readQuestion(reader_); }

    Checked skipAuthority() { return skipRecordRefusingOpt(reader_); }

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
    } else {
        result.status = rcode == kNameError ? RecordStatus::nxdomain : RecordStatus::noData;
    }
    return result;
}

}  // namespace ombrix::lookup
