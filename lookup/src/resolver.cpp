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
