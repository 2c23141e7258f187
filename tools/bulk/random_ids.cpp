#include "tools/bulk/random_ids.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>

namespace ombrix::tools {

void RandomIds::refill() {
    auto* bytes = reinterpret_cast<char*>(pool_.data());
    std::size_t filled = 0;
    const std::size_t size = sizeof(pool_);
    while (filled < size) {
        const auto got = ::getrandom(bytes + filled, size - filled, 0);
        if (got < 0 && errno != EINTR) {
            throw std::runtime_error("the system's random source failed");
        }
        filled += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    used_ = 0;
}

std::uint16_t RandomIds::next() {
    if (used_ == pool_.size()) {
        refill();
    }
    return pool_[used_++];
}

}  // namespace ombrix::tools
