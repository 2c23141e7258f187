#include "ombrix/lookup/address_reply.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "address_text.h"
#include "ombrix/lookup/query_message.h"
#include "record_set_reader.h"

namespace ombrix::lookup {
namespace {

Expected<std::string, ReplyFault> decodeAddress(ResourceRecord& record, std::uint16_t qtype) {
    const std::size_t expected = qtype == kTypeA ? kIpv4Octets : kIpv6Octets;
    const std::size_t octets = record.data.remaining();
    const auto bytes = record.data.bytes(octets);
    if (octets != expected || !bytes) {
        return fail(ReplyFault::Kind::addressOfWrongLength, record.offset, octets);
    }
    return qtype == kTypeA ? ipv4Text(*bytes) : ipv6Text(*bytes);
}

AddressStatus addressStatus(const RecordReply<std::string>& read) {
    switch (read.status) {
        case RecordStatus::found:
            return read.canonicalName ? AddressStatus::foundViaAlias : AddressStatus::found;
        case RecordStatus::noData:
            return AddressStatus::noAddress;
        case RecordStatus::nxdomain:
            return AddressStatus::nxdomain;
        case RecordStatus::serverFailure:
            return AddressStatus::serverFailure;
        case RecordStatus::malformed:
            break;
    }
    return AddressStatus::malformed;
}

}  // namespace

AddressResult readAddressReply(std::span<const std::uint8_t> reply, const WireName& qname,
                               std::uint16_t qtype) {
    auto read = readRecordSet<std::string>(reply, qname, qtype, [qtype](ResourceRecord& record) {
        return decodeAddress(record, qtype);
    });
    AddressResult result;
    result.status = addressStatus(read);
    result.addresses = std::move(read.records);
    result.fault = std::move(read.fault);
    result.reply = std::move(read.reply);
    result.ttl = read.ttl;
    result.rcode = read.rcode;
    result.canonicalName = std::move(read.canonicalName);
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
