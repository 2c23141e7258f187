#include <gtest/gtest.h>

#include <QApplication>
#include <optional>

#include "sample/tests/control_registration.h"

namespace {

// The control is registered once for the whole run, when tests run (not when they are
// only listed).
class RegisteredControl : public ::testing::Environment {
  public:
    void SetUp() override { store_.emplace(); }
    void TearDown() override { store_.reset(); }

  private:
    std::optional<ombrix::sample::testing::TemporaryControlStore> store_;
};

}  // namespace

int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    // The window tests need no screen; listing them at build time must not need one either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::AddGlobalTestEnvironment(new RegisteredControl);
    return RUN_ALL_TESTS();
}
