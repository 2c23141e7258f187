#include "ombrix/lookup/mx_lookup.h"

#include "ombrix/lookup/lookup_engine.h"

namespace ombrix::lookup {

MxResult lookupMx(std::string_view server, std::string_view domain, const LookupOptions& options) {
    // A run of one: one socket, no window to find, no wide receive buffer.
    LookupEngine engine(EngineSettings{1, false, 1});
    MxResult result;
    result.fault = Fault{Fault::Kind::sendFailed, "Out of memory"};
    const LookupRequest request{std::string(server), std::string(domain), options.timeout,
                                options.tries};
    engine.submitMx(request, [&result](MxResult&& done) { result = std::move(done); });
    engine.run();
    return result;
}

}  // namespace ombrix::lookup
