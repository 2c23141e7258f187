#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ombrix/component/dispatch.h"
#include "ombrix/component/guid.h"

namespace component {

// Types that appear in a type library. Record and array types name their record.
enum class ValueType { Void, Int16, Int32, String, Variant, Record };

struct TypeRef {
    ValueType type = ValueType::Void;
    std::string recordName;     // for ValueType::Record
    bool dynamicArray = false;  // a dynamic array of `type`

    friend bool operator==(const TypeRef&, const TypeRef&) = default;
};

struct ParameterInfo {
    std::string name;
    TypeRef type;
    bool byRef = false;
};

enum class MemberKind { Method, Property };

struct MemberInfo {
    std::string name;
    DispId id = 0;
    MemberKind kind = MemberKind::Method;
    std::vector<ParameterInfo> parameters;  // methods only
    TypeRef result;                         // a method's result, or a property's type
    bool canGet = false;                    // properties
    bool canPut = false;                    // properties
};

struct InterfaceInfo {
    std::string name;
    Guid iid;
    std::vector<MemberInfo> members;  // in declaration order
    bool events = false;              // an outgoing (event) interface
};

struct FieldInfo {
    std::string name;
    TypeRef type;
};

struct RecordInfo {
    std::string name;
    std::vector<FieldInfo> fields;  // in declaration order
};

struct ClassInfo {
    std::string name;
    Guid clsid;
    std::string progId;
    std::string defaultInterface;  // name of an InterfaceInfo of the same library
    std::string eventInterface;    // name of an InterfaceInfo, empty when none
    bool control = false;          // a visual control that a control host can site
};

// What a server library declares about itself.
struct TypeLibrary {
    std::string name;
    std::string helpString;
    Guid libid;
    std::uint16_t majorVersion = 1;
    std::uint16_t minorVersion = 0;
    std::vector<ClassInfo> classes;
    std::vector<InterfaceInfo> interfaces;
    std::vector<RecordInfo> records;

    const InterfaceInfo* findInterface(std::string_view name) const;
};

}  // namespace component
