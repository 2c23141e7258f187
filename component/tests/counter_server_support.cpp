#include "counter_server_support.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "ombrix/component/server_library.h"
#include "ombrix/component/text.h"

void registerCounterServer() {
    component::ServerLibrary library;
    component::ErrorInfo error;
    ASSERT_EQ(component::loadServerLibrary(kCounterServer, library, error), component::kOk)
        << component::toUtf8(error.description);
    ASSERT_EQ(library.registerServer(), component::kOk)
        << component::toUtf8(library.lastError()->description);
}

component::ResultCode counterCanUnloadNow() {
    void* handle = dlopen(kCounterServer.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return component::kFail;
    const auto canUnload =
        reinterpret_cast<decltype(&DllCanUnloadNow)>(dlsym(handle, "DllCanUnloadNow"));
    return canUnload ? canUnload() : component::kFail;
}
