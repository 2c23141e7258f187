#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ombrix::tools {

// Query IDs from the kernel's secure random source, fetched a few thousand at a time so that
// a hundred thousand queries a second do not cost a system call each.
class RandomIds {
  public:
    std::uint16_t next();

  private:
    void refill();

    std::array<std::uint16_t, 4096> pool_{};
    std::size_t used_ = pool_.size();
};

}  // namespace ombrix::tools
