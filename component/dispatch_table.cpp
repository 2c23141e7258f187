#include "ombrix/component/dispatch_table.h"

#include <new>
#include <vector>

#include "ombrix/component/argument_coercion.h"
#include "ombrix/component/text.h"

namespace component {
namespace {

std::u16string_view standardDescription(std::int32_t number) {
    switch (number) {
        case kErrOverflow:
            return u"Overflow";
        case kErrOutOfMemory:
            return u"Out of memory";
        case kErrTypeMismatch:
            return u"Type mismatch";
        case kErrPropertyReadOnly:
            return u"Property is read-only";
        case kErrPropertyWriteOnly:
            return u"Property is write-only";
        case kErrNoSuchMember:
            return u"Object doesn't support this property or method";
        case kErrWrongArgumentCount:
            return u"Wrong number of arguments or invalid property assignment";
        default:
            return u"Internal error";
    }
}

std::size_t expectedArguments(const MemberInfo& member, InvokeKind kind) {
    switch (kind) {
        case InvokeKind::Method:
            return member.parameters.size();
        case InvokeKind::PropertyGet:
            return 0;
        case InvokeKind::PropertyPut:
            return 1;
    }
    return 0;
}

bool passesCallersVariable(const ParameterInfo& parameter) {
    return parameter.byRef && parameter.type.type == ValueType::Int16 &&
           !parameter.type.dynamicArray;
}

// Coerces one argument; a by-reference 16-bit parameter given a value gets `temporary`.
std::int32_t coerceArgument(const ParameterInfo& parameter, const Variant& argument,
                            Variant& coerced, std::int16_t& temporary) {
    if (!passesCallersVariable(parameter))
        return coerceTo(parameter.type, argument, coerced);
    if (argument.type() == Variant::Type::Int16Ref && argument.int16Ref()) {
        coerced = argument;
        return 0;
    }
    const std::int32_t error = toInt16(argument, temporary);
    if (!error)
        coerced = Variant::byRef(&temporary);
    return error;
}

// A reference in a result would outlive the call's temporaries: results carry values only.
Variant byValue(const Variant& value) {
    if (value.type() == Variant::Type::Int16Ref && value.int16Ref()) {
        return Variant(*value.int16Ref());
    }
    return value;
}

}  // namespace

std::int16_t CallArguments::int16(std::size_t i) const {
    const Variant& argument = args_[i];
    return argument.type() == Variant::Type::Int16Ref ? *argument.int16Ref() : argument.int16();
}

void DispatchTable::on(DispId id, InvokeKind kind, Handler handler) {
    handlers_[{id, kind}] = std::move(handler);
}

ResultCode DispatchTable::idOfName(std::u16string_view name, DispId* out) const {
    if (!out)
        return kInvalidArgument;
    const std::string wanted = toUtf8(name);
    for (const MemberInfo& member : info_->members) {
        if (equalsIgnoringCase(member.name, wanted)) {
            *out = member.id;
            return kOk;
        }
    }
    return kUnknownName;
}

const MemberInfo* DispatchTable::findMember(DispId id) const {
    for (const MemberInfo& member : info_->members) {
        if (member.id == id)
            return &member;
    }
    return nullptr;
}

ErrorInfo DispatchTable::memberError(const MemberInfo* member, std::int32_t number) const {
    std::string source = info_->name;
    if (member)
        source += "." + member->name;
    return {number, toUtf16(source), std::u16string(standardDescription(number))};
}

std::optional<ErrorInfo> DispatchTable::checkCall(const MemberInfo& member, InvokeKind kind,
                                                  std::size_t argumentCount) const {
    const bool property = member.kind == MemberKind::Property;
    if (property == (kind == InvokeKind::Method))
        return memberError(&member, kErrNoSuchMember);
    if (kind == InvokeKind::PropertyGet && !member.canGet) {
        return memberError(&member, kErrPropertyWriteOnly);
    }
    if (kind == InvokeKind::PropertyPut && !member.canPut) {
        return memberError(&member, kErrPropertyReadOnly);
    }
    if (argumentCount != expectedArguments(member, kind)) {
        return memberError(&member, kErrWrongArgumentCount);
    }
    return std::nullopt;
}

CallResult DispatchTable::runHandler(const MemberInfo& member, InvokeKind kind,
                                     std::span<Variant> coerced) const {
    const auto handler = handlers_.find({member.id, kind});
    if (handler == handlers_.end())
        return memberError(&member, kErrNoSuchMember);
    // Exceptions must not cross the interface into the caller's library.
    try {
        return handler->second(CallArguments(coerced));
    } catch (const std::bad_alloc&) {
        return memberError(&member, kErrOutOfMemory);
    } catch (const std::exception& e) {
        ErrorInfo error = memberError(&member, kErrInternal);
        error.description += u": " + toUtf16(e.what());
        return error;
    }
}

ResultCode DispatchTable::invoke(DispId id, InvokeKind kind, std::span<Variant> args,
                                 Variant* result, ErrorInfo* error) const {
    auto fail = [error](ErrorInfo raised) {
        if (error)
            *error = std::move(raised);
        return kException;
    };
    const MemberInfo* member = findMember(id);
    if (!member)
        return fail(memberError(nullptr, kErrNoSuchMember));
    if (auto refused = checkCall(*member, kind, args.size()))
        return fail(std::move(*refused));

    std::vector<Variant> coerced(args.size());
    std::vector<std::int16_t> temporaries(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        const ParameterInfo parameter = kind == InvokeKind::PropertyPut
                                            ? ParameterInfo{"value", member->result, false}
                                            : member->parameters[i];
        const std::int32_t number = coerceArgument(parameter, args[i], coerced[i], temporaries[i]);
        if (number)
            return fail(memberError(member, number));
    }

    CallResult outcome = runHandler(*member, kind, coerced);
    if (auto* raised = std::get_if<ErrorInfo>(&outcome))
        return fail(std::move(*raised));

    const TypeRef resultType = kind == InvokeKind::PropertyPut ? TypeRef{} : member->result;
    Variant value;
    if (resultType.type != ValueType::Void) {
        const std::int32_t number =
            coerceTo(resultType, byValue(std::get<Variant>(outcome)), value);
        if (number)
            return fail(memberError(member, number));
    }
    if (result)
        *result = std::move(value);
    return kOk;
}

}  // namespace component
