#include "component/tool/type_library_text.h"

#include <cstdint>
#include <cstdio>

namespace component {
namespace {

constexpr const char* kIndent = "    ";

std::string typeName(const TypeRef& type) {
    std::string name;
    switch (type.type) {
        case ValueType::Void:
            name = "Void";
            break;
        case ValueType::Int16:
            name = "Int16";
            break;
        case ValueType::Int32:
            name = "Int32";
            break;
        case ValueType::String:
            name = "String";
            break;
        case ValueType::Variant:
            name = "Variant";
            break;
        case ValueType::Record:
            name = type.recordName;
            break;
    }
    return type.dynamicArray ? name + "[]" : name;
}

std::string hexId(DispId id) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<std::uint32_t>(id));
    return buffer;
}

std::string parameterList(const std::vector<ParameterInfo>& parameters) {
    std::string text;
    for (const ParameterInfo& p : parameters) {
        if (!text.empty())
            text += ", ";
        if (p.byRef)
            text += "ref ";
        text += p.name + ": " + typeName(p.type);
    }
    return text;
}

std::string memberLine(const MemberInfo& m) {
    std::string line = std::string(kIndent) + hexId(m.id) + " ";
    if (m.kind == MemberKind::Property) {
        line += "property " + m.name + ": " + typeName(m.result);
        if (m.canGet)
            line += " get";
        if (m.canPut)
            line += " put";
    } else {
        line += "method " + m.name + "(" + parameterList(m.parameters) + ")";
        if (m.result.type != ValueType::Void)
            line += ": " + typeName(m.result);
    }
    return line + "\n";
}

std::string classText(const ClassInfo& c) {
    std::string text = "class " + c.name + " " + c.clsid.toString();
    if (c.control)
        text += " control";
    text += "\n";
    if (!c.progId.empty())
        text += std::string(kIndent) + "progId " + c.progId + "\n";
    if (!c.defaultInterface.empty()) {
        text += std::string(kIndent) + "interface " + c.defaultInterface + "\n";
    }
    if (!c.eventInterface.empty())
        text += std::string(kIndent) + "events " + c.eventInterface + "\n";
    return text;
}

std::string interfaceText(const InterfaceInfo& i) {
    std::string text =
        (i.events ? "events " : "interface ") + i.name + " " + i.iid.toString() + "\n";
    for (const MemberInfo& m : i.members)
        text += memberLine(m);
    if (i.members.empty())
        text += std::string(kIndent) + "(no members)\n";
    return text;
}

std::string recordText(const RecordInfo& r) {
    std::string text = "record " + r.name + "\n";
    for (const FieldInfo& f : r.fields) {
        text += std::string(kIndent) + f.name + ": " + typeName(f.type) + "\n";
    }
    return text;
}

}  // namespace

std::string describeTypeLibrary(const TypeLibrary& library) {
    std::string text = "library " + library.name + " " + library.libid.toString() + " " +
                       std::to_string(library.majorVersion) + "." +
                       std::to_string(library.minorVersion);
    if (!library.helpString.empty())
        text += " \"" + library.helpString + "\"";
    text += "\n";
    for (const ClassInfo& c : library.classes)
        text += "\n" + classText(c);
    for (const InterfaceInfo& i : library.interfaces)
        text += "\n" + interfaceText(i);
    for (const RecordInfo& r : library.records)
        text += "\n" + recordText(r);
    return text;
}

}  // namespace component
