#include "sample/tests/control_registration.h"

#include <gtest/gtest.h>

#include "component/server_library.h"
#include "component/text.h"

namespace ombrix::sample::testing {

TemporaryControlStore::TemporaryControlStore()
    : previousStore_(qgetenv("COMPONENT_REGISTRY")),
      hadStore_(qEnvironmentVariableIsSet("COMPONENT_REGISTRY")) {
    if (!directory_.isValid()) {
        ADD_FAILURE() << "no temporary directory for the registration store";
        return;
    }
    qputenv("COMPONENT_REGISTRY", directory_.filePath("registry").toLocal8Bit());

    component::ServerLibrary library;
    component::ErrorInfo error;
    if (!component::succeeded(component::loadServerLibrary(OMBRIX_LIBRARY_PATH, library, error))) {
        ADD_FAILURE() << "cannot load " << OMBRIX_LIBRARY_PATH << ": "
                      << component::toUtf8(error.description);
        return;
    }
    if (!library.registerServer || !component::succeeded(library.registerServer())) {
        ADD_FAILURE() << "the control library did not register itself";
    }
}

TemporaryControlStore::~TemporaryControlStore() {
    if (hadStore_) {
        qputenv("COMPONENT_REGISTRY", previousStore_);
    } else {
        qunsetenv("COMPONENT_REGISTRY");
    }
}

}  // namespace ombrix::sample::testing
