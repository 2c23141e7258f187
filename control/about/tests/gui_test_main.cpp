#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

// The application object is made only when tests run, so that listing the tests at build
// time needs no display.
class ApplicationEnvironment : public ::testing::Environment {
  public:
    ApplicationEnvironment(int& argc, char** argv) : argc_(argc), argv_(argv) {}

    void SetUp() override { application_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { application_.reset(); }

  private:
    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> application_;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment(argc, argv));
    return RUN_ALL_TESTS();
}
