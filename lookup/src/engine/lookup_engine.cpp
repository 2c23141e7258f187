#include "ombrix/lookup/lookup_engine.h"

#include "engine/engine_core.h"
#include "ombrix/lookup/query_message.h"

namespace ombrix::lookup {

class LookupEngine::Impl : public EngineCore {
  public:
    using EngineCore::EngineCore;
};

LookupEngine::LookupEngine(EngineSettings settings)
    : impl_(std::make_unique<Impl>(settings)) {}

LookupEngine::~LookupEngine() = default;

LookupId LookupEngine::submitMx(const LookupRequest& request,
                                std::function<void(MxResult&&)> done) {
    return impl_->submit(request, kTypeMx, std::move(done));
}

LookupId LookupEngine::submitAddress(const LookupRequest& request, std::uint16_t type,
                                     std::function<void(AddressAnswer&&)> done) {
    return impl_->submit(request, type, std::move(done));
}

LookupId LookupEngine::submitRecord(const LookupRequest& request, std::uint16_t type,
                                    std::function<void(RecordAnswer&&)> done) {
    return impl_->submit(request, type, std::move(done));
}

bool LookupEngine::cancel(LookupId id) {
    return impl_->cancel(id);
}

int LookupEngine::fd() {
    return impl_->fd();
}

std::optional<std::chrono::milliseconds> LookupEngine::process() {
    return impl_->process();
}

void LookupEngine::run() {
    impl_->run();
}

std::size_t LookupEngine::pending() const {
    return impl_->pending();
}

bool LookupEngine::hasRoom() const {
    return impl_->hasRoom();
}

EngineCounters LookupEngine::counters() const {
    return impl_->counters();
}

std::optional<Fault> LookupEngine::failure() const {
    return impl_->failure();
}

}  // namespace ombrix::lookup
