#include "ombrix/lookup/mx_reply.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "address_text.h"
#include "name_reader.h"
#include "ombrix/lookup/byte_reader.h"
#include "ombrix/lookup/presentation.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/reply.h"
#include "ombrix/lookup/response_code.h"
#include "reply_fault.h"
#include "resource_record.h"
#include "section_walk.h"

namespace ombrix::lookup {
namespace {

using Kind = ReplyFault::Kind;

constexpr std::uint8_t kNoError = 0;
constexpr std::uint8_t kNameError = 3;
// A pointer as owner, type, class, TTL and length, a preference and the root as exchange.
constexpr std::size_t kLeastMxRecordOctets = 2 + 10 + 2 + 1;

// What the sections say about the asked name, before it is judged.
struct Findings {
    std::vector<Exchanger> exchangers;  // in reply order
    bool nullMx = false;                // an MX record whose exchange is the root
    std::optional<WireName> canonical;  // where the CNAME chain ended
};

bool isBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

bool sameText(const std::string& a, const std::string& b) {
    // Owners mostly come back in the case of the exchange they name.
    return a == b || std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
               return foldAsciiCase(static_cast<std::uint8_t>(x)) ==
                      foldAsciiCase(static_cast<std::uint8_t>(y));
           });
}

// Reads the sections of one reply after its header.
class SectionReader {
  public:
    SectionReader(std::span<const std::uint8_t> reply, const ReplyHeader& header,
                  const WireName& qname)
        : reader_(reply), header_(header), qname_(qname) {
        reader_.skip(kHeaderOctets);
        // Room for every exchanger at once, as many as the claimed answers that the reply's
        // size could hold.
        findings_.exchangers.reserve(
            std::min<std::size_t>(header.answers, reply.size() / kLeastMxRecordOctets));
    }

    Expected<Findings, ReplyFault> read() {
        const std::array<SectionEntry<SectionReader>, 4> sections = {{
            {"question", header_.questions, &SectionReader::skipQuestion},
            {"answer", header_.answers, &SectionReader::readAnswer},
            {"authority record", header_.authorities, &SectionReader::skipRecord},
            {"additional record", header_.additionals, &SectionReader::readAdditional},
        }};
        if (auto walked = walkSections(*this, sections); !walked) {
            return Unexpected(walked.error());
        }
        return std::move(findings_);
    }

  private:
    Checked skipQuestion() { return lookup::skipQuestion(reader_); }

    Checked skipRecord() { return lookup::skipRecord(reader_); }

    Checked readAnswer() {
        return readChainedAnswer(reader_, qname_, findings_.canonical, kTypeMx,
                                 [this](ResourceRecord& record) { return addExchanger(record); });
    }

    // MX data is a preference and an exchange. The root as exchange says the domain takes no
    // mail; a blank exchange names no host a person could use; neither is listed.
    Checked addExchanger(ResourceRecord& record) {
        const auto preference = record.data.u16();
        if (!preference) {
            return fail(Kind::mxWithoutPreference, record.offset);
        }
        Exchanger exchanger{*preference, {}, record.ttl, {}, {}};
        PresentationText text(exchanger.name);
        if (auto read = readName(record.data, text); !read) {
            return read;
        }
        if (auto rest = nothingAfterName(record); !rest) {
            return rest;
        }
        if (exchanger.name.empty()) {
            findings_.nullMx = true;
        } else if (!isBlank(exchanger.name)) {
            findings_.exchangers.push_back(std::move(exchanger));
        }
        return std::monostate{};
    }

    // The owner is kept as text, in storage the next additional record reuses, to be matched
    // with the exchangers' names.
    Checked readAdditional() {
        PresentationText owner(owner_);
        auto record = readRecord(reader_, owner);
        if (!record) {
            return Unexpected(record.error());
        }
        const std::size_t octets = record->data.remaining();
        const bool ipv4 = record->type == kTypeA && octets == kIpv4Octets;
        const bool ipv6 = record->type == kTypeAaaa && octets == kIpv6Octets;
        if (record->rrClass == kClassIn && (ipv4 || ipv6)) {
            addAddress(record->data.bytes(octets).value_or(std::span<const std::uint8_t>{}), ipv4);
        }
        return std::monostate{};
    }

    void addAddress(std::span<const std::uint8_t> octets, bool ipv4) {
        std::string address;
        for (Exchanger& exchanger : findings_.exchangers) {
            if (!sameText(exchanger.name, owner_)) {
                continue;
            }
            if (address.empty()) {
                address = ipv4 ? ipv4Text(octets) : ipv6Text(octets);
            }
            (ipv4 ? exchanger.ipv4 : exchanger.ipv6).push_back(address);
        }
    }

    ByteReader reader_;
    const ReplyHeader& header_;
    const WireName& qname_;
    Findings findings_;
    std::string owner_;
};

Outcome judge(const Findings& findings, std::uint8_t rcode) {
    if (findings.nullMx) {
        return findings.exchangers.empty() ? Outcome::nullMx : Outcome::nullMxMixed;
    }
    if (!findings.exchangers.empty()) {
        return Outcome::exchangers;
    }
    return rcode == kNameError ? Outcome::nxdomain : Outcome::noMx;
}

MxResult failed(MxResult result, Outcome outcome, Fault fault) {
    result.outcome = outcome;
    result.fault = std::move(fault);
    return result;
}

}  // namespace

MxResult readMxReply(std::span<const std::uint8_t> reply, const WireName& qname) {
    MxResult result;
    result.query = toPresentation(qname);
    const auto header = readHeader(reply);
    if (!header) {
        return failed(std::move(result), Outcome::malformed,
                      describe(ReplyFault{Kind::endsInHeader}));
    }
    result.rcode = header->rcode;
    if (header->rcode != kNoError && header->rcode != kNameError) {
        return failed(std::move(result), Outcome::serverFailure,
                      Fault{Fault::Kind::serverFailure,
                            "DNS server answered " + responseCodeName(header->rcode)});
    }
    auto findings = SectionReader(reply, *header, qname).read();
    if (!findings) {
        return failed(std::move(result), Outcome::malformed, describe(findings.error()));
    }
    result.outcome = judge(*findings, header->rcode);
    result.exchangers = std::move(findings->exchangers);
    const auto byPreference = [](const Exchanger& a, const Exchanger& b) {
        return a.preference < b.preference;
    };
    // Servers mostly list exchangers in order already; a stable sort would still take a buffer.
    if (!std::is_sorted(result.exchangers.begin(), result.exchangers.end(), byPreference)) {
        std::stable_sort(result.exchangers.begin(), result.exchangers.end(), byPreference);
    }
    if (findings->canonical) {
        result.canonicalName = toPresentation(*findings->canonical);
    }
    return result;
}

}  // namespace ombrix::lookup
