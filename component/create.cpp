#include "ombrix/component/create.h"

#include "ombrix/component/class_factory.h"
#include "ombrix/component/registry_search.h"
#include "ombrix/component/server_library.h"

namespace component {
namespace {

ErrorInfo cannotCreate(std::string_view progId, std::string_view reason) {
    return layerError(kErrCannotCreateObject, "Cannot create the object '" + std::string(progId) +
                                                  "': " + std::string(reason));
}

}  // namespace

ResultCode createObject(std::string_view progId, Ref<Unknown>& out, ErrorInfo& error) {
    Registration registration;
    const ResultCode found = findRegistration(progId, registration, error);
    if (found == kClassNotAvailable) {
        error = cannotCreate(progId, "no class is registered under this identifier in " +
                                         searchedPlaces());
        return kClassNotAvailable;
    }
    if (!succeeded(found))
        return found;

    ServerLibrary library;
    if (const ResultCode rc = loadServerLibrary(registration.libraryPath, library, error);
        !succeeded(rc)) {
        return rc;
    }
    void* factoryPointer = nullptr;
    if (!succeeded(
            library.getClassObject(&registration.clsid, &ClassFactory::iid, &factoryPointer)) ||
        !factoryPointer) {
        error =
            cannotCreate(progId, "the library '" + registration.libraryPath +
                                     "' does not serve the class " + registration.clsid.toString());
        return kClassNotAvailable;
    }
    const auto factory = Ref<ClassFactory>::adopt(static_cast<ClassFactory*>(factoryPointer));
    void* object = nullptr;
    if (!succeeded(factory->createInstance(nullptr, Unknown::iid, &object)) || !object) {
        error = cannotCreate(progId, "its class factory made no instance");
        return kFail;
    }
    out = Ref<Unknown>::adopt(static_cast<Unknown*>(object));
    return kOk;
}

}  // namespace component
