#include "control/mxquery_type_library.h"

#include "ombrix_version_info.h"

namespace ombrix {
namespace {

using component::Guid;
using component::MemberKind;
using component::TypeRef;
using component::ValueType;

// Fixed for good: hosts built against the library refer to them.
constexpr Guid kLibraryId{
    0x0297D447, 0x25CB, 0x4BBF, {0xA9, 0x42, 0x66, 0x28, 0x9B, 0x1D, 0x2C, 0x5C}};
constexpr Guid kClassId{
    0x4472B389, 0x1679, 0x49C9, {0x88, 0xE7, 0xC7, 0x97, 0x81, 0xFF, 0x2A, 0xFE}};
constexpr Guid kInterfaceId{
    0x92E37E25, 0x8AE0, 0x488B, {0xA5, 0x42, 0x72, 0xC2, 0x10, 0x66, 0x91, 0xCB}};
constexpr Guid kEventInterfaceId{
    0x29766B3F, 0xAD91, 0x41C0, {0xB8, 0xE5, 0x64, 0x14, 0xFC, 0x90, 0x43, 0xA5}};

constexpr const char* kInterfaceName = "_mxquery";
constexpr const char* kEventInterfaceName = "__mxquery";

TypeRef type(ValueType value) {
    return TypeRef{value, {}, false};
}

component::MemberInfo method(std::string name, component::DispId id,
                             std::vector<component::ParameterInfo> parameters, ValueType result) {
    return {std::move(name), id,   MemberKind::Method, std::move(parameters), type(result),
            false,           false};
}

component::ParameterInfo byValue(std::string name, ValueType value) {
    return {std::move(name), type(value), false};
}

component::ParameterInfo byReference(std::string name, ValueType value) {
    return {std::move(name), type(value), true};
}

component::InterfaceInfo dispatchInterface() {
    return {
        kInterfaceName,
        kInterfaceId,
        {
            {"DNS", dispid::kDns, MemberKind::Property, {}, type(ValueType::String), true, true},
            method("DisplayAboutBox", dispid::kDisplayAboutBox, {}, ValueType::Variant),
            method("SetDNS", dispid::kSetDns, {byValue("m_dns", ValueType::String)},
                   ValueType::Variant),
            method("GetVersion", dispid::kGetVersion, {}, ValueType::String),
            method("mxquery", dispid::kMxQuery, {byValue("m_Domain", ValueType::String)},
                   ValueType::String),
            method("GetBestMX", dispid::kGetBestMx, {}, ValueType::String),
            method("GetMXEntry", dispid::kGetMxEntry, {byReference("idx", ValueType::Int16)},
                   ValueType::String),
            method("GetMXEntryPref", dispid::kGetMxEntryPref,
                   {byReference("idx", ValueType::Int16)}, ValueType::Int16),
            method("GetOutcome", dispid::kGetOutcome, {}, ValueType::String),
            method("GetResponseCode", dispid::kGetResponseCode, {}, ValueType::Int16),
            method("IsTemporary", dispid::kIsTemporary, {}, ValueType::Int16),
        },
        false};
}

component::InterfaceInfo eventInterface() {
    return {kEventInterfaceName, kEventInterfaceId, {}, true};
}

std::vector<component::RecordInfo> records() {
    return {
        {"MX_RECORD", {{"Server", type(ValueType::String)}, {"Pref", type(ValueType::Int16)}}},
        {"MX_INFO",
         {{"Best", type(ValueType::String)},
          {"Domain", type(ValueType::String)},
          {"List", TypeRef{ValueType::Record, "MX_RECORD", true}},
          {"Count", type(ValueType::Int32)}}},
    };
}

component::TypeLibrary buildTypeLibrary() {
    return {"Ombrix",
            "MX Resolver",
            kLibraryId,
            static_cast<std::uint16_t>(version::kMajor),
            static_cast<std::uint16_t>(version::kMinor),
            {{"mxquery", kClassId, kMxQueryProgId, kInterfaceName, kEventInterfaceName, true}},
            {dispatchInterface(), eventInterface()},
            records()};
}

}  // namespace

const component::TypeLibrary& typeLibrary() {
    static const component::TypeLibrary library = buildTypeLibrary();
    return library;
}

const component::ClassInfo& mxqueryClass() {
    return typeLibrary().classes.front();
}

const component::InterfaceInfo& mxqueryInterface() {
    return *typeLibrary().findInterface(kInterfaceName);
}

}  // namespace ombrix
