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

}  // namespace

MxResult lookupMx(std::string_view server, std::string_view domain, const LookupOptions& options) {
    const QueryBudget budget(QueryTiming{options.timeout, options.tries});
    MxResult result;
    auto qname = encodeDomain(domain);
    if (!qname) {
        return failed(std::move(result), Outcome::invalidDomain, std::move(qname).error());
    }
    result.query = toPresentation(qname.value());
    auto address = resolveServer(server, budget.deadline());
    if (!address) {
        return failed(std::move(result), Outcome::noReply, std::move(address.error()));
    }
    auto id = randomQueryId();
    if (!id) {
        return failed(std::move(result), Outcome::noReply, std::move(id).error());
    }
    const PendingQuery pending{id.value(), qname.value(), buildMxQuery(id.value(), qname.value())};
    auto exchanged = exchangeQuery(address.value(), pending, budget);
    if (!exchanged.reply) {
        result.wire = std::move(exchanged.wire);
        return failed(std::move(result), Outcome::noReply, std::move(exchanged.reply.error()));
    }
    MxResult read = readMxReply(exchanged.reply.value(), pending.qname);
    read.wire = std::move(exchanged.wire);
    return read;
}

}  // namespace ombrix::lookup
