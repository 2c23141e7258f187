#include "control/core/resolver.h"

#include "control/core/dns_exchange.h"
#include "control/core/domain_name.h"
#include "control/core/pending_query.h"
#include "control/core/query_id.h"
#include "control/core/query_message.h"
#include "control/core/reply.h"
#include "control/core/response_code.h"
#include "control/core/server_address.h"

namespace ombrix::core {

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

}  // namespace ombrix::core
