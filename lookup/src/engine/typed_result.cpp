#include "engine/typed_result.h"

#include "ombrix/lookup/presentation.h"
#include "reply.h"

namespace ombrix::lookup {
namespace {

bool refusedDomain(const Fault& fault) {
    return fault.kind == Fault::Kind::invalidDomain;
}

}  // namespace

void readMxEnding(MxResult& result, LookupEnding ending, const WireName& qname, WireReport wire) {
    if (ending) {
        // The walk names the query itself.
        readMxReplyInto(result, ending.value(), qname);
    } else {
        result.outcome = refusedDomain(ending.error()) ? Outcome::invalidDomain : Outcome::noReply;
        result.fault = std::move(ending.error());
        if (!qname.bytes.empty()) {
            result.query = toPresentation(qname);
        }
    }
    result.wire = std::move(wire);
}

AddressAnswer addressAnswerOf(LookupEnding ending, const WireName& qname, std::uint16_t qtype,
                              WireReport wire) {
    if (ending) {
        return {readAddressReply(ending.value(), qname, qtype), std::move(wire)};
    }
    const auto status =
        refusedDomain(ending.error()) ? AddressStatus::malformed : AddressStatus::noReply;
    return {AddressResult{status, {}, std::move(ending.error())}, std::move(wire)};
}

RecordAnswer recordAnswerOf(LookupEnding ending, WireReport wire) {
    RecordAnswer answer;
    answer.wire = std::move(wire);
    if (!ending) {
        answer.fault = std::move(ending.error());
        return answer;
    }
    // The reply was matched to the query, so its header is whole.
    const auto header = readHeader(ending.value());
    answer.rcode = header->rcode;
    answer.authenticData = header->authenticData;
    answer.reply.assign(ending->begin(), ending->end());
    return answer;
}

}  // namespace ombrix::lookup
