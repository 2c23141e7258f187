#pragma once

#include "ombrix/component/unknown.h"

namespace component {

// Creates instances of one class.
class ClassFactory : public Unknown {
  public:
    static constexpr Guid iid{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

    // `outer` must be null: aggregation is not supported (kNoAggregation).
    virtual ResultCode createInstance(Unknown* outer, const Guid& iid, void** out) = 0;
    // Keeps the server library in use while locked.
    virtual ResultCode lockServer(bool lock) = 0;

  protected:
    ~ClassFactory() = default;
};

}  // namespace component
