#pragma once

#include <string>

#include "ombrix/component/unknown.h"
#include "testing/temporary_registry.h"

using ombrix::testing::TemporaryRegistry;

// The libraries built for the tests.
inline const std::string kCounterServer = COMPONENT_TEST_SERVER;
inline const std::string kNotAServer = COMPONENT_NOT_A_SERVER;
inline const std::string kRegistryTool = COMPONENT_REGISTRY_TOOL;

// Registers the counter server in the store in use as an installer does: loads the library
// and calls its DllRegisterServer.
void registerCounterServer();

// The counter server's own DllCanUnloadNow; the library must be loaded already.
component::ResultCode counterCanUnloadNow();
