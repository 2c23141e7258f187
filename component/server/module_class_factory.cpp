#include "ombrix/component/server/module_class_factory.h"

namespace component {

ResultCode ModuleClassFactory::queryInterface(const Guid& wanted, void** out) {
    if (!out)
        return kInvalidArgument;
    *out = nullptr;
    if (wanted != Unknown::iid && wanted != ClassFactory::iid)
        return kNoInterface;
    *out = static_cast<ClassFactory*>(this);
    return kOk;
}

ResultCode ModuleClassFactory::createInstance(Unknown* outer, const Guid& wanted, void** out) {
    if (!out)
        return kInvalidArgument;
    *out = nullptr;
    if (outer)
        return kNoAggregation;
    Unknown* object = entry_->create();
    if (!object)
        return kFail;
    const ResultCode rc = object->queryInterface(wanted, out);
    object->release();
    return rc;
}

ResultCode ModuleClassFactory::lockServer(bool lock) {
    moduleLockServer(lock);
    return kOk;
}

}  // namespace component
