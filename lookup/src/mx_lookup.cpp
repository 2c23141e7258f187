#include "ombrix/lookup/mx_lookup.h"

#include <optional>

#include "engine/engine_core.h"
#include "exchange_errors.h"
#include "ombrix/lookup/query_message.h"

namespace ombrix::lookup {

MxResult lookupMx(std::string_view server, std::string_view domain, const LookupOptions& options) {
    // A run of one: one socket, no window to find, no wide receive buffer. The thread keeps
    // its engine from one lookup to the next, so that a program asking one domain after
    // another does not build and tear down the engine's storage, its 64 KiB receive room and
    // the server it asks each time. Nothing outside this call sees the engine, and nothing it
    // runs calls back into it.
    thread_local std::optional<EngineCore> kept;
    if (!kept) {
        kept.emplace(EngineSettings{1, false, 1});
    }
    MxResult result;
    const LookupRequest request{std::string(server), std::string(domain), options.timeout,
                                options.tries};
    try {
        // The engine reads the reply straight into `result`.
        kept->submit(request, kTypeMx, &result);
        kept->run();
        kept->startOver();
        // A lookup that memory ended before it was heard (every other ending has an outcome
        // or a fault).
        if (result.outcome == Outcome::noReply && !result.fault) {
            result.fault = outOfMemoryFault();
        }
    } catch (...) {
        // Whatever escaped left the engine in the middle of its run: it goes, and the next
        // lookup builds another.
        kept.reset();
        throw;
    }
    return result;
}

}  // namespace ombrix::lookup
