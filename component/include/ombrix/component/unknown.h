#pragma once

#include <cstdint>
#include <utility>

#include "ombrix/component/guid.h"

namespace component {

// Outcome of a call across an interface. Zero is success; failures are negative.
using ResultCode = std::int32_t;
inline constexpr ResultCode kOk = 0;
inline constexpr ResultCode kFalse = 1;  // success, but "no" (DllCanUnloadNow)
inline constexpr ResultCode kFail = -1;
inline constexpr ResultCode kNoInterface = -2;
inline constexpr ResultCode kClassNotAvailable = -3;
inline constexpr ResultCode kInvalidArgument = -4;
inline constexpr ResultCode kException = -5;  // the ErrorInfo passed in was filled
inline constexpr ResultCode kUnknownName = -6;
inline constexpr ResultCode kNoAggregation = -7;

inline bool succeeded(ResultCode rc) {
    return rc >= 0;
}

// The root of every interface: reference counting and asking for another interface by its
// identifier. Each interface type carries its identifier as `static constexpr Guid iid`.
class Unknown {
  public:
    static constexpr Guid iid{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

    virtual ResultCode queryInterface(const Guid& iid, void** out) = 0;
    virtual std::uint32_t addRef() = 0;
    virtual std::uint32_t release() = 0;

  protected:
    ~Unknown() = default;
};

// Owns one reference to an interface.
template <class I>
class Ref {
  public:
    Ref() = default;
    // Takes over a reference the caller already holds.
    static Ref adopt(I* p) {
        Ref r;
        r.p_ = p;
        return r;
    }
    Ref(const Ref& o) : p_(o.p_) {
        if (p_)
            p_->addRef();
    }
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Ref& operator=(Ref o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Ref() {
        if (p_)
            p_->release();
    }

    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() { Ref().swap(*this); }
    void swap(Ref& o) noexcept { std::swap(p_, o.p_); }

    // Asks the object for another of its interfaces; empty when it has none.
    template <class J>
    Ref<J> query() const {
        void* out = nullptr;
        if (!p_ || !succeeded(p_->queryInterface(J::iid, &out)))
            return {};
        return Ref<J>::adopt(static_cast<J*>(out));
    }

  private:
    I* p_ = nullptr;
};

}  // namespace component
