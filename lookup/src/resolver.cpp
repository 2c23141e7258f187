#include "ombrix/lookup/resolver.h"

#include "ombrix/lookup/dns_exchange.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/query_id.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/reply.h"
#include "ombrix/lookup/response_code.h"
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
    auto& reply = exchanged.reply;
    if (auto accepted = acceptResponseCode(reply.value()); !accepted) {
        return accepted.error();
    }
    auto count = walkAnswers(reply.value(), pending.qname, store_);
    if (!count) {
        return count.error();
    }
    return std::to_string(count.value());
}

}  // namespace ombrix::lookup
