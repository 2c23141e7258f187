#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "ombrix/component/error_info.h"
#include "ombrix/component/unknown.h"
#include "ombrix/component/variant.h"

namespace component {

using DispId = std::int32_t;

enum class InvokeKind { Method, PropertyGet, PropertyPut };

// Late-bound calls by dispatch identifier.
class Dispatch : public Unknown {
  public:
    static constexpr Guid iid{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

    // Case-insensitive. kUnknownName when there is no such member.
    virtual ResultCode idOfName(std::u16string_view name, DispId* out) = 0;
    // Arguments in declaration order; a property put takes the new value as its one
    // argument. On failure returns kException and fills *error (number, source, description).
    virtual ResultCode invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result,
                              ErrorInfo* error) = 0;

  protected:
    ~Dispatch() = default;
};

}  // namespace component
