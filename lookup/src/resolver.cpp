#include "ombrix/lookup/resolver.h"

#include "ombrix/lookup/dns_exchange.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/mx_reply.h"
#include "ombrix/lookup/numbered_error.h"
#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/query_id.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/server_address.h"

namespace ombrix::lookup {

Expected<std::string> MxResolver::query(std::string_view domain) {
    store_.reset();
    if (server_.empty() || domain.empty()) {
        return std::string("0");
    }
    auto qname = encodeDomain(domain);
    if (!qname) {
        return qname.error();
    }
    store_.setDomain(std::string(domain));
    const QueryBudget budget(timing_);
    auto server = resolveServer(server_, budget.deadline());
    if (!server) {
        return queryError(server.error().description);
    }
    auto id = randomQueryId();
    if (!id) {
        return id.error();
    }
    PendingQuery pending{id.value(), qname.value(), buildMxQuery(id.value(), qname.value())};
    auto exchanged = exchangeQuery(server.value(), pending, budget);
    if (!exchanged.reply) {
        return queryError(exchanged.reply.error().description);
    }
    const MxResult result = readMxReply(exchanged.reply.value(), pending.qname);
    if (result.fault) {
        const NumberedError error = numberedError(*result.fault);
        return Error{error.number, error.source, error.description};
    }
    for (const Exchanger& exchanger : result.exchangers) {
        store_.add(exchanger.name, exchanger.preference);
    }
    return std::to_string(store_.count());
}

}  // namespace ombrix::lookup
