#include "ombrix/lookup/mx_lookup.h"

#include "ombrix/lookup/dns_exchange.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/mx_store.h"
#include "ombrix/lookup/pending_query.h"
#include "ombrix/lookup/presentation.h"
#include "ombrix/lookup/query_id.h"
#include "ombrix/lookup/query_message.h"
#include "ombrix/lookup/reply.h"
#include "ombrix/lookup/response_code.h"
#include "ombrix/lookup/server_address.h"

namespace ombrix::lookup {
namespace {

MxResult failed(MxResult result, Outcome outcome, Fault fault) {
    result.outcome = outcome;
    result.fault = std::move(fault);
    return result;
}

Fault replyFault(const Error& error) {
    return Fault{
        error.number == kSubscriptOutOfRange ? Fault::Kind::cutShort : Fault::Kind::malformed,
        error.description};
}

// The accepted reply read with the reply walk and the result store.
MxResult readReply(MxResult result, const std::vector<std::uint8_t>& reply, const WireName& qname) {
    const auto header = readHeader(reply);
    result.rcode = header->rcode;
    if (auto accepted = acceptResponseCode(reply); !accepted) {
        return failed(std::move(result), Outcome::serverFailure,
                      Fault{Fault::Kind::serverFailure, accepted.error().description});
    }
    MxStore store;
    auto count = walkAnswers(reply, qname, store);
    if (!count) {
        return failed(std::move(result), Outcome::malformed, replyFault(count.error()));
    }
    for (std::size_t i = 0; i < count.value(); ++i) {
        const auto& entry = store.list()[i];
        Exchanger exchanger;
        exchanger.preference = entry.pref;
        exchanger.name = entry.server;
        result.exchangers.push_back(std::move(exchanger));
    }
    constexpr std::uint8_t kNameError = 3;
    result.outcome = count.value() > 0             ? Outcome::exchangers
                     : header->rcode == kNameError ? Outcome::nxdomain
                                                   : Outcome::noMx;
    return result;
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
