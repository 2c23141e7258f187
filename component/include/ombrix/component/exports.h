#pragma once

#include "ombrix/component/error_info.h"
#include "ombrix/component/guid.h"
#include "ombrix/component/type_library.h"
#include "ombrix/component/unknown.h"

// The entry points of an in-process server library, looked up by name after loading it. The
// component_server library defines them; they are the only symbols a server library shows.
#define COMPONENT_EXPORT __attribute__((visibility("default")))

extern "C" {
COMPONENT_EXPORT component::ResultCode DllGetClassObject(const component::Guid* clsid,
                                                         const component::Guid* iid, void** out);
// kOk when no object of the library is alive and no class factory is locked, else kFalse.
COMPONENT_EXPORT component::ResultCode DllCanUnloadNow();
// Records every class of the library in the registration store: programmatic identifier,
// class identifier, this library's path and the type library identifier.
COMPONENT_EXPORT component::ResultCode DllRegisterServer();
// Removes the library's classes from the registration store.
COMPONENT_EXPORT component::ResultCode DllUnregisterServer();
// The library's type library, the equivalent of a type-library resource bound into it.
COMPONENT_EXPORT const component::TypeLibrary* ComponentTypeLibrary();
// Why the last DllRegisterServer or DllUnregisterServer of this thread failed (number 0 when
// it did not): the store's own error, such as a damaged file and its line.
COMPONENT_EXPORT const component::ErrorInfo* ComponentLastError();
}
