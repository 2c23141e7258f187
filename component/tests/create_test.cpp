// Creation by programmatic identifier through the registry, and the faults a host meets.

#include "ombrix/component/create.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "ombrix/component/class_factory.h"
#include "ombrix/component/dispatch.h"
#include "ombrix/component/exports.h"
#include "ombrix/component/registry_store.h"
#include "ombrix/component/server_library.h"
#include "ombrix/component/text.h"
#include "counter_server_support.h"

namespace {

using component::ErrorInfo;
using component::Ref;
using component::Unknown;

std::string describe(const ErrorInfo& error) {
    return component::toUtf8(error.description);
}

component::Registration counterRegistration() {
    component::Registration found;
    ErrorInfo error;
    EXPECT_EQ(component::RegistryStore().find("Test.counter", found, error), component::kOk);
    return found;
}

TEST(CreateObject, MakesTheRegisteredClassAndKeepsItsLibraryInUseWhileAlive) {
    TemporaryRegistry registry;
    registerCounterServer();
    Ref<Unknown> object;
    ErrorInfo error;
    // Identifiers are matched ignoring case, as hosts expect.
    ASSERT_EQ(component::createObject("test.COUNTER", object, error), component::kOk)
        << describe(error);
    EXPECT_TRUE(object.query<component::Dispatch>());
    EXPECT_FALSE(object.query<component::ClassFactory>());
    EXPECT_EQ(counterCanUnloadNow(), component::kFalse);
    object.reset();
    EXPECT_EQ(counterCanUnloadNow(), component::kOk);
}

TEST(CreateObject, ALockedClassFactoryKeepsTheLibraryInUse) {
    TemporaryRegistry registry;
    registerCounterServer();
    Ref<Unknown> object;
    ErrorInfo error;
    ASSERT_EQ(component::createObject("Test.counter", object, error), component::kOk);
    object.reset();

    void* handle = dlopen(kCounterServer.c_str(), RTLD_NOW | RTLD_NOLOAD);
    const auto getClassObject =
        reinterpret_cast<decltype(&DllGetClassObject)>(dlsym(handle, "DllGetClassObject"));
    ASSERT_NE(getClassObject, nullptr);
    const component::Guid clsid = counterRegistration().clsid;
    void* pointer = nullptr;
    ASSERT_EQ(getClassObject(&clsid, &component::ClassFactory::iid, &pointer), component::kOk);
    auto factory =
        Ref<component::ClassFactory>::adopt(static_cast<component::ClassFactory*>(pointer));
    EXPECT_EQ(factory->lockServer(true), component::kOk);
    EXPECT_EQ(counterCanUnloadNow(), component::kFalse);
    EXPECT_EQ(factory->lockServer(false), component::kOk);
    EXPECT_EQ(counterCanUnloadNow(), component::kOk);

    void* refused = nullptr;
    EXPECT_EQ(factory->createInstance(factory.get(), Unknown::iid, &refused),
              component::kNoAggregation);
    const component::Guid unknownClass{1, 2, 3, {}};
    EXPECT_EQ(getClassObject(&unknownClass, &component::ClassFactory::iid, &pointer),
              component::kClassNotAvailable);
}

TEST(CreateObject, UnknownIdentifierIsError429NamingIt) {
    TemporaryRegistry registry;
    registerCounterServer();
    Ref<Unknown> object;
    ErrorInfo error;
    EXPECT_FALSE(component::succeeded(component::createObject("Test.nothing", object, error)));
    EXPECT_FALSE(object);
    EXPECT_EQ(error.number, component::kErrCannotCreateObject);
    EXPECT_EQ(error.source, u"component");
    EXPECT_NE(describe(error).find("'Test.nothing'"), std::string::npos) << describe(error);
}

TEST(CreateObject, UnregisteredClassIsNoLongerCreated) {
    TemporaryRegistry registry;
    registerCounterServer();
    component::ServerLibrary library;
    ErrorInfo error;
    ASSERT_EQ(component::loadServerLibrary(kCounterServer, library, error), component::kOk);
    ASSERT_EQ(library.unregisterServer(), component::kOk);
    Ref<Unknown> object;
    EXPECT_FALSE(component::succeeded(component::createObject("Test.counter", object, error)));
    EXPECT_EQ(error.number, component::kErrCannotCreateObject);
}

TEST(CreateObject, MissingLibraryOrNoServerIsError48WithTheLoadersReason) {
    TemporaryRegistry registry;
    const component::Guid clsid{7, 7, 7, {}};
    const struct {
        std::string progId, path, reason;
    } cases[] = {
        {"Gone.library", (registry.directory() / "libgone.so").string(), "No such file"},
        {"Not.server", kNotAServer, "DllGetClassObject"},
    };
    for (const auto& c : cases) {
        ErrorInfo error;
        ASSERT_EQ(component::RegistryStore().add({{c.progId, clsid, clsid, c.path}}, error),
                  component::kOk);
        Ref<Unknown> object;
        EXPECT_FALSE(component::succeeded(component::createObject(c.progId, object, error)));
        EXPECT_EQ(error.number, component::kErrCannotLoadLibrary);
        EXPECT_NE(describe(error).find(c.path), std::string::npos) << describe(error);
        EXPECT_NE(describe(error).find(c.reason), std::string::npos) << describe(error);
    }
}

TEST(CreateObject, LibraryThatDoesNotServeTheClassIsError429) {
    TemporaryRegistry registry;
    ErrorInfo error;
    const component::Guid foreign{9, 9, 9, {}};
    ASSERT_EQ(
        component::RegistryStore().add({{"Test.foreign", foreign, foreign, kCounterServer}}, error),
        component::kOk);
    Ref<Unknown> object;
    EXPECT_FALSE(component::succeeded(component::createObject("Test.foreign", object, error)));
    EXPECT_EQ(error.number, component::kErrCannotCreateObject);
    EXPECT_NE(describe(error).find(foreign.toString()), std::string::npos) << describe(error);
}

}  // namespace
