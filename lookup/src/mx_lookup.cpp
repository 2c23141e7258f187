#include "ombrix/lookup/mx_lookup.h"

#include <memory>

#include "engine/engine_core.h"
#include "ombrix/lookup/query_message.h"

namespace ombrix::lookup {

MxResult lookupMx(std::string_view server, std::string_view domain, const LookupOptions& options) {
    // A run of one: one socket, no window to find, no wide receive buffer; the engine's core
    // itself, as nothing outside this call sees it.
    EngineCore engine(EngineSettings{1, false, 1});
    // The receive room (64 KiB) goes from one lookup of the thread to the next, so that a
    // program asking one domain after another does not take and give it back each time.
    thread_local std::unique_ptr<std::uint8_t[]> room;
    engine.lendReceiveRoom(std::move(room));
    MxResult result;
    result.fault = Fault{Fault::Kind::sendFailed, "Out of memory"};
    const LookupRequest request{std::string(server), std::string(domain), options.timeout,
                                options.tries};
    engine.submit(request, kTypeMx,
                  std::function<void(MxResult&&)>(
                      [&result](MxResult&& done) { result = std::move(done); }));
    engine.run();
    room = engine.takeReceiveRoom();
    return result;
}

}  // namespace ombrix::lookup
