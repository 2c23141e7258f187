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
    auto server = resolveServer(server_);
    if (!server) {
        return server.error();
    }
    auto id = randomQueryId();
    if (!id) {
        return id.error();
    }
    PendingQuery pending{id.value(), qname.value(), buildMxQuery(id.value(), qname.value())};
    auto reply = exchangeQuery(server.value(), pending, timing_);
    if (!reply) {
        return reply.error();
    }
    const MxResult result = readMxReply(reply.value(), pending.qname);
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
