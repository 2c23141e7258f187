#pragma once

#include <vector>

#include "ombrix/component/type_library.h"
#include "ombrix/component/unknown.h"

namespace component {

// One class that a server library serves: its description and how to make an instance
// (returned with one reference held by the caller).
struct ClassEntry {
    const ClassInfo* info = nullptr;
    Unknown* (*create)() = nullptr;
};

// What a server library declares. Each server library defines componentServerModule();
// the library exports (DllGetClassObject, DllCanUnloadNow, DllRegisterServer,
// DllUnregisterServer) come from the component_server library and are built on it.
struct ServerModule {
    const TypeLibrary* typeLibrary = nullptr;
    std::vector<ClassEntry> classes;
};

const ServerModule& componentServerModule();

// Live objects and server locks of this library (each library linking the layer counts its
// own), for DllCanUnloadNow.
void moduleObjectCreated();
void moduleObjectDestroyed();
void moduleLockServer(bool lock);
bool moduleInUse();

}  // namespace component
