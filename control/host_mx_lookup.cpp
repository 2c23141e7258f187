#include "control/host_mx_lookup.h"

namespace ombrix {

using host::NumberedError;
using lookup::Expected;
using lookup::Unexpected;

Expected<std::string, NumberedError> HostMxLookup::query(std::string_view domain) {
    clear();
    if (server_.empty() || domain.empty()) {
        return std::string("0");
    }
    lookup::MxResult result = lookup::lookupMx(server_, domain, options_);
    outcome_ = LastOutcome{result.outcome, result.rcode};
    if (result.fault) {
        return Unexpected(host::numberedError(*result.fault));
    }
    exchangers_ = std::move(result.exchangers);
    return std::to_string(exchangers_->size());
}

const std::string& HostMxLookup::best() const {
    static const std::string none;
    return exchangers_ && !exchangers_->empty() ? exchangers_->front().name : none;
}

Expected<const lookup::Exchanger*, NumberedError> HostMxLookup::entryAt(long long index) const {
    if (!exchangers_) {
        return Unexpected(host::subscriptOutOfRange("no query has run yet"));
    }
    if (index < 0 || static_cast<unsigned long long>(index) >= exchangers_->size()) {
        return nullptr;
    }
    return &(*exchangers_)[static_cast<std::size_t>(index)];
}

}  // namespace ombrix
