// Any datagram, accepted or not, read as the reply to an MX query: the reader must end, and
// the typed result must hold together.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ombrix/lookup/mx_reply.h"
#include "reply.h"

namespace {

using namespace ombrix::lookup;

// The longest text 255 wire octets can give: four labels of 63, 63, 63 and 61 octets, every
// byte escaped as \DDD, and three dots between them.
constexpr std::size_t kMaxPresentationLength = 4 * 250 + 3;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// Presentation text is printable ASCII, so it is valid UTF-8 as well.
bool isPresentationText(const std::string& text) {
    return text.size() <= kMaxPresentationLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

bool listsExchangers(Outcome outcome) {
    return outcome == Outcome::exchangers || outcome == Outcome::nullMxMixed;
}

bool isFailure(Outcome outcome) {
    return outcome == Outcome::serverFailure || outcome == Outcome::malformed;
}

void checkExchangers(const MxResult& result, std::size_t answers) {
    require(result.exchangers.size() <= answers);
    require(std::is_sorted(
        result.exchangers.begin(), result.exchangers.end(),
        [](const Exchanger& a, const Exchanger& b) { return a.preference < b.preference; }));
    for (const Exchanger& exchanger : result.exchangers) {
        require(!exchanger.name.empty() && isPresentationText(exchanger.name));
    }
}

// The OPT's code widens the header's and decides the outcome; a malformed reply has no OPT; its
// error texts come out of the message.
void checkSignals(const ReplySignals& reply, const std::optional<ReplyHeader>& header,
                  Outcome outcome, std::size_t size) {
    const auto& edns = reply.edns;
    require(!edns || (header && (edns->rcode & 0x0F) == header->rcode));
    require(!edns || outcome == Outcome::serverFailure || edns->rcode == 0 || edns->rcode == 3);
    require(!edns || outcome != Outcome::malformed);
    std::size_t text = 0;
    for (const ExtendedError& error : edns ? edns->errors : std::vector<ExtendedError>{}) {
        text += 6 + error.extraText.size();  // option head and info-code
    }
    require(text <= size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const WireName qname{{7, 'e', 'x', 'a', 'm', 'p', 'l', 'e', 3, 'c', 'o', 'm', 0}};
    const std::span<const std::uint8_t> message(data, size);
    (void)isReplyTo(message, 4575, qname);

    const MxResult result = readMxReply(message, qname);
    const auto header = readHeader(message);
    require(result.query == "example.com");
    require(result.rcode.has_value() == header.has_value());
    require(result.fault.has_value() == isFailure(result.outcome));
    require(result.temporary() == isFailure(result.outcome));
    require(!result.fault || !result.fault->description.empty());
    require(listsExchangers(result.outcome) == !result.exchangers.empty());
    require(!result.canonicalName || isPresentationText(*result.canonicalName));
    checkExchangers(result, header ? header->answers : 0);
    checkSignals(result.reply, header, result.outcome, size);
    return 0;
}
