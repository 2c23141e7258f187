#include <atomic>

#include "ombrix/component/server_module.h"

namespace component {
namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

}  // namespace

void moduleObjectCreated() {
    ++liveObjects;
}

void moduleObjectDestroyed() {
    --liveObjects;
}

void moduleLockServer(bool lock) {
    if (lock) {
        ++serverLocks;
    } else {
        --serverLocks;
    }
}

bool moduleInUse() {
    return liveObjects.load() > 0 || serverLocks.load() > 0;
}

}  // namespace component
