#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>

#include "ombrix/component/dispatch.h"
#include "ombrix/component/type_library.h"

namespace component {

// Arguments of one call, already coerced to the member's declared parameter types.
class CallArguments {
  public:
    explicit CallArguments(std::span<Variant> coerced) : args_(coerced) {}
    std::size_t size() const { return args_.size(); }
    const std::u16string& string(std::size_t i) const { return args_[i].string(); }
    std::int16_t int16(std::size_t i) const;  // by value or through a reference
    std::int32_t int32(std::size_t i) const { return args_[i].int32(); }
    // A by-reference parameter: the caller's own variable.
    std::int16_t* int16Ref(std::size_t i) const { return args_[i].int16Ref(); }

  private:
    std::span<Variant> args_;
};

// What a member handler gives back: a value, or an error raised to the caller.
using CallResult = std::variant<Variant, ErrorInfo>;

// Implements late-bound calls for an object from its interface description: members by
// name (case-insensitive) and by dispatch identifier, the kind of call and the argument count
// checked, arguments coerced as a dispatch host does (a string "3" or a 32-bit 3 for a 16-bit
// parameter; out of range: error 6; not a number: error 13; see argument_coercion.h), then the
// member's handler runs and its result is converted to the member's declared result type.
//
// A by-reference 16-bit parameter reaches the handler as a pointer: to the caller's own
// variable when the caller passed a reference, else to a temporary holding the coerced value.
// Other by-reference parameters are passed by value.
//
// The table's own errors name the member as their source ("<interface>.<member>"): 438 for an
// unknown identifier or a call of the wrong kind (a property get on a method), 383 for a put
// on a read-only property, 394 for a get on a write-only one, 450 for a wrong argument count.
// An error that a handler returns reaches the caller unchanged.
class DispatchTable {
  public:
    using Handler = std::function<CallResult(const CallArguments&)>;

    explicit DispatchTable(const InterfaceInfo& info) : info_(&info) {}

    // Registers the handler of a method, a property get or a property put.
    void on(DispId id, InvokeKind kind, Handler handler);

    ResultCode idOfName(std::u16string_view name, DispId* out) const;
    ResultCode invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result,
                      ErrorInfo* error) const;

  private:
    const MemberInfo* findMember(DispId id) const;
    ErrorInfo memberError(const MemberInfo* member, std::int32_t number) const;
    std::optional<ErrorInfo> checkCall(const MemberInfo& member, InvokeKind kind,
                                       std::size_t argumentCount) const;
    CallResult runHandler(const MemberInfo& member, InvokeKind kind,
                          std::span<Variant> coerced) const;

    const InterfaceInfo* info_;
    std::map<std::pair<DispId, InvokeKind>, Handler> handlers_;
};

}  // namespace component
