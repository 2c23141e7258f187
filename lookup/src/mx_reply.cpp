#include "ombrix/lookup/mx_reply.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "address_text.h"
#include "name_reader.h"
#include "byte_reader.h"
#include "ombrix/lookup/presentation.h"
#include "presentation_buffer.h"
#include "ombrix/lookup/query_message.h"
#include "reply.h"
#include "ombrix/lookup/response_code.h"
#include "opt_record.h"
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
    std::optional<ReplyEdns> edns;      // the OPT record
};

bool isBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

bool sameText(std::string_view a, std::string_view b) {
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
        : reader_(reply), header_(header), chain_(qname) {
        reader_.skip(kHeaderOctets);
        // Room for every exchanger at once, as many as the claimed answers that the reply's
        // size could hold.
        const std::size_t room =
            std::min<std::size_t>(header.answers, reply.size() / kLeastMxRecordOctets);
        exchangers_.reserve(room);
        // Where exchanges start matters only to address records that may point at them.
        if (header.additionals > 0) {
            exchangeAt_.reserve(room);
        }
    }

    Expected<Findings, ReplyFault> read() {
        const std::array<SectionEntry<SectionReader>, 4> sections = {{
            {"question", header_.questions, &SectionReader::readQuestion},
            {"answer", header_.answers, &SectionReader::readAnswer},
            {"authority record", header_.authorities, &SectionReader::skipAuthority},
            {"additional record", header_.additionals, &SectionReader::readAdditional},
        }};
        if (auto walked = walkSections(*this, sections); !walked) {
            return Unexpected(walked.error());
        }
        return Findings{std::move(exchangers_), nullMx_, std::move(chain_.canonical()),
                        std::move(opt_.edns())};
    }

  private:
    Checked readQuestion() { return chain_.readQuestion(reader_); }

    Checked skipAuthority() { return skipRecordRefusingOpt(reader_); }

    Checked readAnswer() {
        return chain_.readAnswer(reader_, kTypeMx,
                                 [this](ResourceRecord& record) { return addExchanger(record); });
    }

    // MX data is a preference and an exchange. The root as exchange says the domain takes no
    // mail; a blank exchange names no host a person could use; neither is listed.
    Checked addExchanger(ResourceRecord& record) {
        const auto preference = record.data.u16();
        if (!preference) {
            return fail(Kind::mxWithoutPreference, record.offset);
        }
        const std::size_t exchangeAt = record.data.offset();
        PresentationName exchange;
        if (auto read = readName(record.data, exchange); !read) {
            return read;
        }
        if (auto rest = nothingAfterName(record); !rest) {
            return rest;
        }
        const std::string_view name = exchange.text();
        if (name.empty()) {
            nullMx_ = true;
        } else if (!isBlank(name)) {
            exchangers_.push_back(Exchanger{*preference, std::string(name), record.ttl, {}, {}});
            if (header_.additionals > 0) {
                exchangeAt_.push_back(exchangeAt);
            }
        }
        return std::monostate{};
    }

    // An address record's owner is matched with the exchangers' names. Servers mostly write it
    // as a lone pointer to an exchange: that owner is the exchanger's name as already read.
    Checked readAdditional() {
        if (const auto named = exchangerPointedAt()) {
            SkippedName owner;
            return readAddress(owner, [&] { return std::string_view(exchangers_[*named].name); });
        }
        PresentationName owner;
        return readAddress(owner, [&] { return owner.text(); });
    }

    template <class OwnerSink, class OwnerText>
    Checked readAddress(OwnerSink& owner, OwnerText ownerText) {
        auto record = readRecord(reader_, owner);
        if (!record) {
            return Unexpected(record.error());
        }
        if (auto opt = opt_.readAdditional(*record); !opt) {
            return opt;
        }
        const std::size_t octets = record->data.remaining();
        const bool ipv4 = record->type == kTypeA && octets == kIpv4Octets;
        const bool ipv6 = record->type == kTypeAaaa && octets == kIpv6Octets;
        if (record->rrClass == kClassIn && (ipv4 || ipv6)) {
            addAddress(ownerText(),
                       record->data.bytes(octets).value_or(std::span<const std::uint8_t>{}), ipv4);
        }
        return std::monostate{};
    }

    // The exchanger whose name the name at the cursor points at, and nothing else.
    std::optional<std::size_t> exchangerPointedAt() const {
        const auto target = lonePointerTarget(reader_);
        if (!target) {
            return std::nullopt;
        }
        const auto found = std::find(exchangeAt_.begin(), exchangeAt_.end(), *target);
        if (found == exchangeAt_.end()) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(found - exchangeAt_.begin());
    }

    void addAddress(std::string_view owner, std::span<const std::uint8_t> octets, bool ipv4) {
        std::string address;
        for (Exchanger& exchanger : exchangers_) {
            if (!sameText(exchanger.name, owner)) {
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
    AnswerChain chain_;
    OptRecordReader opt_;
    std::vector<Exchanger> exchangers_;    // in reply order
    std::vector<std::size_t> exchangeAt_;  // where each exchanger's name starts in the reply
    bool nullMx_ = false;
};

Outcome judge(const Findings& findings, std::uint16_t rcode) {
    if (findings.nullMx) {
        return findings.exchangers.empty() ? Outcome::nullMx : Outcome::nullMxMixed;
    }
    if (!findings.exchangers.empty()) {
        return Outcome::exchangers;
    }
    return rcode == kNameError ? Outcome::nxdomain : Outcome::noMx;
}

// Into preference order, reply order kept among equal preferences. A reply mostly holds a
// handful of exchangers: each is moved into place, where std::stable_sort would first take a
// buffer; a long list (a TCP reply may hold thousands) is merge-sorted.
void sortByPreference(std::vector<Exchanger>& exchangers) {
    constexpr std::size_t kFewExchangers = 16;
    const auto byPreference = [](const Exchanger& a, const Exchanger& b) {
        return a.preference < b.preference;
    };
    if (exchangers.size() > kFewExchangers) {
        // Servers mostly list them in order already, and the merge sort would still take a
        // buffer.
        if (!std::is_sorted(exchangers.begin(), exchangers.end(), byPreference)) {
            std::stable_sort(exchangers.begin(), exchangers.end(), byPreference);
        }
        return;
    }
    for (std::size_t next = 1; next < exchangers.size(); ++next) {
        if (!byPreference(exchangers[next], exchangers[next - 1])) {
            continue;
        }
        Exchanger moving = std::move(exchangers[next]);
        std::size_t place = next;
        for (; place > 0 && byPreference(moving, exchangers[place - 1]); --place) {
            exchangers[place] = std::move(exchangers[place - 1]);
        }
        exchangers[place] = std::move(moving);
    }
}

void fail(MxResult& result, Outcome outcome, Fault fault) {
    result.outcome = outcome;
    result.fault = std::move(fault);
}

}  // namespace

void readMxReplyInto(MxResult& result, std::span<const std::uint8_t> reply,
                     const WireName& qname) {
    result.query = toPresentation(qname);
    const auto header = readHeader(reply);
    if (!header) {
        fail(result, Outcome::malformed, describe(ReplyFault{Kind::endsInHeader}));
        return;
    }
    result.rcode = header->rcode;
    // A failure reply is walked too: its OPT may say why it failed.
    auto findings = SectionReader(reply, *header, qname).read();
    result.reply = replySignals(*header, findings ? std::move(findings->edns) : std::nullopt);
    const std::uint16_t rcode = fullResponseCode(result.reply, *header);
    if (rcode != kNoError && rcode != kNameError) {
        fail(result, Outcome::serverFailure,
             Fault{Fault::Kind::serverFailure, "DNS server answered " + responseCodeName(rcode)});
        return;
    }
    if (!findings) {
        fail(result, Outcome::malformed, describe(findings.error()));
        return;
    }
    result.outcome = judge(*findings, rcode);
    result.exchangers = std::move(findings->exchangers);
    sortByPreference(result.exchangers);
    if (findings->canonical) {
        result.canonicalName = toPresentation(*findings->canonical);
    }
}

MxResult readMxReply(std::span<const std::uint8_t> reply, const WireName& qname) {
    MxResult result;
    readMxReplyInto(result, reply, qname);
    return result;
}

}  // namespace ombrix::lookup
