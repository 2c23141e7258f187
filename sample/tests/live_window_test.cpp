// The sample window on an X server of its own under a window manager while a query waits for
// a reply that the test holds back: it keeps painting, a real click made meanwhile never
// starts a second query, its close box does nothing, and a host timer may close it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "sample/main_window.h"
#include "sample/tests/fake_input.h"
#include "sample/tests/qt_printing.h"
#include "testing/held_reply.h"
#include "testing/mx_answer.h"
#include "testing/temporary_registry.h"
#include "testing/virtual_display.h"

namespace ombrix::sample {
namespace {

using namespace std::chrono_literals;

constexpr int kTickMs = 20;
constexpr int kMaxTicks = 250;

// Counts events of one type that reach any object of the application, from the moment
// `watch` is called. Installed after another filter, it sees events before that one does.
class EventCounter : public QObject {
  public:
    explicit EventCounter(QEvent::Type type) : type_(type) {}
    void watch() { QCoreApplication::instance()->installEventFilter(this); }
    int count() const { return count_; }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_)
            ++count_;
        return false;
    }

  private:
    QEvent::Type type_;
    int count_ = 0;
};

class LiveWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = std::make_unique<MainWindow>(
            [this](QWidget*, const component::ErrorInfo& e) { errors_.push_back(e); });
        ASSERT_FALSE(window_->load().has_value());
        window_->ui().domain_txt->setText(QStringLiteral("live.example"));
        window_->ui().dns_txt->setText(QString::fromStdString(server_.setting()));
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        QObject::connect(window_->ui().query_btn, &QPushButton::clicked, [this] { ++clicks_; });
    }

    QPoint centreOf(const QWidget& widget) const {
        return widget.mapToGlobal(widget.rect().center());
    }

    ombrix::testing::HeldReply held_;
    ombrix::testing::ScriptedDnsServer server_{
        held_.holding(ombrix::testing::answering({{10, "mx.live.example"}}))};
    std::unique_ptr<MainWindow> window_;
    std::vector<component::ErrorInfo> errors_;
    int clicks_ = 0;
};

TEST_F(LiveWindow, KeepsPaintingAndDropsAClickAndACloseMadeWhileTheQueryWaits) {
    testing::FakeInput user(qgetenv("DISPLAY").toStdString());
    ASSERT_TRUE(user.connected()) << "no X test extension on the display";
    EventCounter paints(QEvent::Paint);
    paints.watch();
    EventCounter releases(QEvent::MouseButtonRelease);

    // Runs only while the query waits: repaint, then click the button once enough paints got
    // through, then let the reply go once the click has reached the application.
    QTimer ticker;
    int ticks = 0;
    std::optional<int> paintsWhenReleased;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        window_->update();
        if (++ticks == 1) {
            releases.watch();
            user.click(centreOf(*window_->ui().query_btn));
            user.requestClose(window_->winId());
        }
        if ((releases.count() > 0 && paints.count() >= 3) || ticks > kMaxTicks) {
            paintsWhenReleased = paints.count();
            held_.release();
            ticker.stop();
        }
    });
    ticker.start(kTickMs);
    window_->ui().query_btn->click();
    ticker.stop();

    ASSERT_TRUE(paintsWhenReleased.has_value()) << "no event was served during the query";
    EXPECT_GE(*paintsWhenReleased, 3);
    EXPECT_GE(releases.count(), 1) << "the click never reached the application";
    EXPECT_EQ(window_->ui().num_lbl->text(), QStringLiteral("Number of results : 1"));
    EXPECT_TRUE(errors_.empty());
    EXPECT_TRUE(window_->isVisible()) << "the close box worked during the query";

    // A click after the query arrives behind the one made during it: once it is through, the
    // earlier one would have been too.
    user.click(centreOf(*window_->ui().domain_txt));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window_->ui().domain_txt->hasFocus(); }, 5000));
    EXPECT_EQ(clicks_, 1) << "the click made during the query started another one";
}

// Last: closing the only window ends the application's event loops, which no test after it
// could run.
TEST_F(LiveWindow, ATimerThatClosesTheWindowDuringTheQueryLetsTheQueryFinish) {
    QTimer::singleShot(0, [this] {
        window_->close();
        held_.release();
    });
    window_->ui().query_btn->click();

    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(window_->ui().num_lbl->text(), QStringLiteral("Number of results : 1"));
    EXPECT_EQ(window_->ui().best_lbl->text(), QStringLiteral("Best MX : mx.live.example"));
    EXPECT_TRUE(errors_.empty());
}

}  // namespace
}  // namespace ombrix::sample

// The display, its window manager, the application and the control's registration live for
// the whole run; listing the tests needs none of them.
int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    auto display = ombrix::testing::VirtualDisplay::start(std::chrono::seconds(10));
    if (!display) {
        std::fprintf(stderr, "Xvfb could not be started (scripts/setup.sh installs it)\n");
        return 1;
    }
    if (!display->startWindowManager(OPENBOX_CONFIG, std::chrono::seconds(10))) {
        std::fprintf(stderr, "openbox could not be started (scripts/setup.sh installs it)\n");
        return 1;
    }
    setenv("DISPLAY", display->name().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication app(argc, argv);
    const ombrix::testing::TemporaryRegistration registration(OMBRIX_LIBRARY_PATH);
    if (!registration.failure().empty()) {
        std::fprintf(stderr, "%s\n", registration.failure().c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
