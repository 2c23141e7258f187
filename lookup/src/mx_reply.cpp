#include "ombrix/lookup/mx_reply.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "name_reader.h"
#include "ombrix/lookup/byte_reader.h"
#include "ombrix/lookup/presentation.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/reply.h"
#include "ombrix/lookup/response_code.h"
#include "reply_fault.h"
#include "resource_record.h"

namespace ombrix::lookup {
namespace {

using Kind = ReplyFault::Kind;

constexpr std::uint8_t kNoError = 0;
constexpr std::uint8_t kNameError = 3;
constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kTypeAaaa = 28;
constexpr std::size_t kIpv4Octets = 4;
constexpr std::size_t kIpv6Octets = 16;
// A pointer as owner, type, class, TTL and length, a preference and the root as exchange.
constexpr std::size_t kLeastMxRecordOctets = 2 + 10 + 2 + 1;

// What the sections say about the asked name, before it is judged.
struct Findings {
    std::vector<Exchanger> exchangers;  // in reply order
    bool nullMx = false;                // an MX record whose exchange is the root
    std::optional<WireName> canonical;  // where the CNAME chain ended
};

// A fault found inside a section, marked with the section and the entry.
Checked located(Checked read, const char* section, std::size_t index, std::size_t count) {
    if (!read) {
        read.error().section = section;
        read.error().index = index;
        read.error().count = count;
    }
    return read;
}

// Record data that holds a name and nothing after it: bytes left over mean the record is not
// what it claims to be, so the reply is refused rather than half believed.
Checked nothingAfterName(const ResourceRecord& record) {
    if (record.data.remaining() != 0) {
        return fail(Kind::bytesAfterName, record.offset, record.data.remaining());
    }
    return std::monostate{};
}

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

// Dotted decimal, written by hand: the C library's formatter costs more than the whole
// rest of a record.
std::string ipv4Text(std::span<const std::uint8_t> octets) {
    std::string text;
    for (const std::uint8_t octet : octets) {
        if (!text.empty()) {
            text += '.';
        }
        if (octet >= 100) {
            text += static_cast<char>('0' + octet / 100);
        }
        if (octet >= 10) {
            text += static_cast<char>('0' + octet / 10 % 10);
        }
        text += static_cast<char>('0' + octet % 10);
    }
    return text;
}

std::string ipv6Text(std::span<const std::uint8_t> octets) {
    std::array<std::uint8_t, kIpv6Octets> address{};
    std::copy(octets.begin(), octets.end(), address.begin());
    std::array<char, INET6_ADDRSTRLEN> text{};
    inet_ntop(AF_INET6, address.data(), text.data(), static_cast<socklen_t>(text.size()));
    return text.data();
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
        const Section sections[] = {
            {"question", header_.questions, &SectionReader::skipQuestion},
            {"answer", header_.answers, &SectionReader::readAnswer},
            {"authority record", header_.authorities, &SectionReader::skipRecord},
            {"additional record", header_.additionals, &SectionReader::readAdditional},
        };
        for (const Section& section : sections) {
            for (std::size_t i = 0; i < section.count; ++i) {
                auto entry = located((this->*section.readEntry)(), section.name, i, section.count);
                if (!entry) {
                    return Unexpected(entry.error());
                }
            }
        }
        return std::move(findings_);
    }

  private:
    struct Section {
        const char* name;
        std::uint16_t count;
        Checked (SectionReader::*readEntry)();
    };

    // The name whose answers count: qname, or the end of a CNAME chain that starts at it.
    const WireName& target() const { return findings_.canonical ? *findings_.canonical : qname_; }

    Checked skipQuestion() {
        const std::size_t offset = reader_.offset();
        SkippedName name;
        if (auto read = readName(reader_, name); !read) {
            return read;
        }
        if (!reader_.skip(4)) {
            return fail(Kind::endsInQuestion, offset);
        }
        return std::monostate{};
    }

    Checked skipRecord() {
        SkippedName owner;
        auto record = readRecord(reader_, owner);
        if (!record) {
            return Unexpected(record.error());
        }
        return std::monostate{};
    }

    Checked readAnswer() {
        NameComparison owner(target());
        auto record = readRecord(reader_, owner);
        if (!record) {
            return Unexpected(record.error());
        }
        if (record->rrClass != kClassIn || !owner.same()) {
            return std::monostate{};
        }
        if (record->type == kTypeCname) {
            return followCname(*record);
        }
        if (record->type == kTypeMx) {
            return addExchanger(*record);
        }
        return std::monostate{};
    }

    Checked followCname(ResourceRecord& record) {
        WireNameBuilder end;
        if (auto read = readName(record.data, end); !read) {
            return read;
        }
        if (auto rest = nothingAfterName(record); !rest) {
            return rest;
        }
        findings_.canonical = std::move(end.name());
        return std::monostate{};
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
