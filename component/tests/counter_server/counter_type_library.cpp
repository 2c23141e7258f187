#include "counter_type_library.h"

namespace counter {
namespace {

using component::Guid;
using component::MemberInfo;
using component::MemberKind;
using component::ParameterInfo;
using component::TypeRef;
using component::ValueType;

TypeRef type(ValueType value) {
    return TypeRef{value, {}, false};
}

MemberInfo method(std::string name, component::DispId id, std::vector<ParameterInfo> parameters,
                  ValueType result) {
    return {std::move(name), id,   MemberKind::Method, std::move(parameters), type(result),
            false,           false};
}

MemberInfo property(std::string name, component::DispId id, ValueType value, bool canPut) {
    return {std::move(name), id, MemberKind::Property, {}, type(value), true, canPut};
}

ParameterInfo parameter(std::string name, ValueType value, bool byRef = false) {
    return {std::move(name), type(value), byRef};
}

component::TypeLibrary build() {
    component::InterfaceInfo dispatch{
        "_counter",
        Guid{0x3F0A1B2C, 0x0001, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x01}},
        {
            property("Count", dispid::kCount, ValueType::Int16, true),
            property("Name", dispid::kName, ValueType::String, false),
            method("Sum", dispid::kSum,
                   {parameter("a", ValueType::Int16), parameter("b", ValueType::Int16)},
                   ValueType::Int16),
            method("Echo", dispid::kEcho, {parameter("text", ValueType::String)},
                   ValueType::String),
            method("Wide", dispid::kWide, {parameter("value", ValueType::Int32)}, ValueType::Int32),
            method("Bump", dispid::kBump, {parameter("value", ValueType::Int16, true)},
                   ValueType::Void),
            method("Peek", dispid::kPeek, {parameter("index", ValueType::Int16, true)},
                   ValueType::Int16),
            method("Fail", dispid::kFail, {}, ValueType::Variant),
            method("Events", dispid::kEvents, {}, ValueType::String),
            method("OpenForm", dispid::kOpenForm, {}, ValueType::Variant),
            method("FormCount", dispid::kFormCount, {}, ValueType::Int32),
        },
        false};
    component::InterfaceInfo events{
        "__counter", Guid{0x3F0A1B2C, 0x0002, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x02}}, {}, true};
    return {"CounterLib",
            "Counter for tests",
            Guid{0x3F0A1B2C, 0x0003, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x03}},
            2,
            5,
            {{"counter", Guid{0x3F0A1B2C, 0x0004, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x04}},
              "Test.counter", "_counter", "__counter", true}},
            {dispatch, events},
            {{"TALLY", {{"Label", type(ValueType::String)}, {"Value", type(ValueType::Int16)}}},
             {"TALLIES",
              {{"Items", TypeRef{ValueType::Record, "TALLY", true}},
               {"Total", type(ValueType::Int32)}}}}};
}

}  // namespace

const component::TypeLibrary& typeLibrary() {
    static const component::TypeLibrary library = build();
    return library;
}

}  // namespace counter
