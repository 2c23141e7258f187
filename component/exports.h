#pragma once

#include "component/guid.h"
#include "component/type_library.h"
#include "component/unknown.h"

// The entry points of an in-process server library, looked up by name after loading it.
extern "C" {
component::ResultCode DllGetClassObject(const component::Guid* clsid, const component::Guid* iid,
                                        void** out);
component::ResultCode DllCanUnloadNow();
component::ResultCode DllRegisterServer();
component::ResultCode DllUnregisterServer();
// The library's type library, the equivalent of a type-library resource bound into it.
const component::TypeLibrary* ComponentTypeLibrary();
}
