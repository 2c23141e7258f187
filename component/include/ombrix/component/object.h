#pragma once

#include <atomic>
#include <cstdint>

#include "ombrix/component/server_module.h"
#include "ombrix/component/unknown.h"

namespace component {

// Reference counting and interface lookup for an object that implements the listed
// interfaces. The object deletes itself when its last reference goes, and counts as alive
// for its server library meanwhile.
template <class First, class... Rest>
class Object : public First, public Rest... {
  public:
    ResultCode queryInterface(const Guid& wanted, void** out) override {
        if (!out)
            return kInvalidArgument;
        *out = nullptr;
        if (wanted == Unknown::iid) {
            *out = static_cast<First*>(this);
        } else {
            find<First, Rest...>(wanted, out);
        }
        if (!*out)
            return kNoInterface;
        addRef();
        return kOk;
    }
    std::uint32_t addRef() override { return ++references_; }
    std::uint32_t release() override {
        const std::uint32_t left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

  protected:
    Object() { moduleObjectCreated(); }
    virtual ~Object() { moduleObjectDestroyed(); }

  private:
    template <class I, class... More>
    void find(const Guid& wanted, void** out) {
        if (wanted == I::iid) {
            *out = static_cast<I*>(this);
            return;
        }
        if constexpr (sizeof...(More) > 0)
            find<More...>(wanted, out);
    }

    std::atomic<std::uint32_t> references_{1};
};

}  // namespace component
