#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ombrix/lookup/address_reply.h"
#include "ombrix/lookup/dnssec_status.h"
#include "ombrix/lookup/lookup_engine.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/record_reply.h"
#include "ombrix/lookup/tlsa_reply.h"

namespace ombrix::lookup {

// What the DNSSEC rules look at in each kind of result; nothing when no readable reply came.
std::optional<ValidatingReply> validatingReply(const MxResult& result);
std::optional<ValidatingReply> validatingReply(const AddressResult& result);
std::optional<ValidatingReply> validatingReply(const RecordReply<TlsaRecord>& result);
std::optional<ValidatingReply> validatingReply(const RecordReply<std::string>& result);

// Whether the status the first reply alone gives may change once the same question is asked
// with CD set: an unvalidated answer or a SERVFAIL, without an Extended DNS Error that decides.
bool needsCheckingDisabled(const std::optional<ValidatingReply>& plain);

// Hands a request to the engine, and the typed result of its lookup to the callback.
template <class Result>
using Submit = std::function<void(const LookupRequest&, std::function<void(Result&&)>)>;

// Asks the question with the DO bit, and again with CD set when the first reply cannot tell its
// status alone; done gets the first reply's result and the status.
template <class Result>
void askValidated(Submit<Result> submit, LookupRequest request,
                  std::function<void(Result&&, DnssecStatus)> done) {
    request.dnssecOk = true;
    request.checkingDisabled = false;
    auto first = [submit, request, done](Result&& plain) mutable {
        auto plainReply = validatingReply(plain);
        if (!needsCheckingDisabled(plainReply)) {
            const auto status = dnssecStatus(plainReply, std::nullopt);
            done(std::move(plain), status);
            return;
        }
        request.checkingDisabled = true;
        submit(request, [plain = std::move(plain), plainReply = std::move(plainReply),
                         done](Result&& checkingDisabled) mutable {
            const auto status = dnssecStatus(plainReply, validatingReply(checkingDisabled));
            done(std::move(plain), status);
        });
    };
    submit(request, std::move(first));
}

}  // namespace ombrix::lookup
