// Any datagram read as the reply to an A and to an AAAA query: the reader must end, and what
// it gives must hold together.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "ombrix/lookup/address_reply.h"
#include "ombrix/lookup/query_message.h"
#include "reply.h"

namespace {

using namespace ombrix::lookup;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool isFailure(AddressStatus status) {
    return status == AddressStatus::serverFailure || status == AddressStatus::malformed;
}

bool listsAddresses(AddressStatus status) {
    return status == AddressStatus::found || status == AddressStatus::foundViaAlias;
}

// Every address given is one the system reads back as an address of the family asked.
bool isAddressOf(const std::string& text, std::uint16_t qtype) {
    in6_addr scratch{};
    return inet_pton(qtype == kTypeA ? AF_INET : AF_INET6, text.c_str(), &scratch) == 1;
}

void check(std::span<const std::uint8_t> message, const WireName& qname, std::uint16_t qtype) {
    (void)isReplyTo(message, 4575, qname, qtype);
    const AddressResult result = readAddressReply(message, qname, qtype);
    require(result.fault.has_value() == isFailure(result.status));
    require(!result.fault || !result.fault->description.empty());
    require(listsAddresses(result.status) == !result.addresses.empty());
    require(result.status != AddressStatus::addressLiteral &&
            result.status != AddressStatus::noReply);
    // The OPT's code widens the header's; a malformed reply has no OPT.
    const auto header = readHeader(message);
    const auto& edns = result.reply.edns;
    require(!edns || (header && (edns->rcode & 0x0F) == header->rcode));
    require(!edns || result.status != AddressStatus::malformed);
    require(std::all_of(result.addresses.begin(), result.addresses.end(),
                        [qtype](const std::string& text) { return isAddressOf(text, qtype); }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const WireName qname{
        {2, 'm', 'x', 7, 'e', 'x', 'a', 'm', 'p', 'l', 'e', 3, 'c', 'o', 'm', 0}};
    const std::span<const std::uint8_t> message(data, size);
    check(message, qname, kTypeA);
    check(message, qname, kTypeAaaa);
    // Whatever the bytes, a name is an address literal or it is not, and nothing breaks.
    (void)isAddressLiteral(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
