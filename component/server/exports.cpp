#include "ombrix/component/exports.h"

#include <vector>

#include "ombrix/component/server/module_class_factory.h"
#include "ombrix/component/server_module.h"

namespace component {
namespace {

std::vector<ModuleClassFactory>& factories() {
    static std::vector<ModuleClassFactory> all = [] {
        std::vector<ModuleClassFactory> made;
        for (const ClassEntry& entry : componentServerModule().classes)
            made.emplace_back(entry);
        return made;
    }();
    return all;
}

}  // namespace
}  // namespace component

using namespace component;

extern "C" {

ResultCode DllGetClassObject(const Guid* clsid, const Guid* iid, void** out) {
    if (!out)
        return kInvalidArgument;
    *out = nullptr;
    if (!clsid || !iid)
        return kInvalidArgument;
    for (ModuleClassFactory& factory : factories()) {
        if (factory.info().clsid == *clsid)
            return factory.queryInterface(*iid, out);
    }
    return kClassNotAvailable;
}

ResultCode DllCanUnloadNow() {
    return moduleInUse() ? kFalse : kOk;
}

const TypeLibrary* ComponentTypeLibrary() {
    return componentServerModule().typeLibrary;
}

}  // extern "C"
