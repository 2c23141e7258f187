#include "ombrix/lookup/mx_lookup.h"

#include "ombrix/lookup/dns_exchange.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/mx_reply.h"
#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/presentation.h"
#include "ombrix/lookup/query_id.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/server_address.h"

namespace ombrix::lookup {
namespace {

MxResult failed(MxResult result, Outcome outcome, Fault fault) {
    result.outcome = outcome;
    result.fault = std::move(fault);
    return result;
}

// The accepted reply read into the result, which keeps the asked name and the wire report.
MxResult readReply(MxResult result, const std::vector<std::uint8_t>& reply, const WireName& qname) {
    MxResult read = readMxReply(reply, qname);
    read.query = std::move(result.query);
    read.wire = std::move(result.wire);
    return read;
}

}  // namespace

MxResult lookupMx(std::string_view server, std::string_view domain, const LookupOptions& options) {
    const QueryBudget budget(QueryTiming{options.timeout, options.tries});
    MxResult result;
    auto qname = encodeDomain(domain);
    if (!qname) {
        return failed(std::move(result), Outcome::invalidDomain,
                      Fault{Fault::Kind::invalidDomain, qname.error().description});
    }
    result.query = toPresentation(qname.value());
    auto address = resolveServer(server, budget.deadline());
    if (!address) {
        return failed(std::move(result), Outcome::noReply, std::move(address.error()));
    }
    auto id = randomQueryId();
    if (!id) {
        return failed(std::move(result), Outcome::noReply,
                      Fault{Fault::Kind::sendFailed, id.error().description});
    }
    const PendingQuery pending{id.value(), qname.value(), buildMxQuery(id.value(), qname.value())};
    auto exchanged = exchangeQuery(address.value(), pending, budget);
    result.wire = std::move(exchanged.wire);
    if (!exchanged.reply) {
        return failed(std::move(result), Outcome::noReply, std::move(exchanged.reply.error()));
    }
    return readReply(std::move(result), exchanged.reply.value(), pending.qname);
}

}  // namespace ombrix::lookup
