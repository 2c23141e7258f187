#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <cstdlib>

#include "sample/main_window.h"
#include "testing/mx_answer.h"
#include "testing/temporary_registry.h"
#include "testing/virtual_display.h"

namespace ombrix::sample {
namespace {

using namespace std::chrono_literals;

// Pixels dark enough to be text on the light list background.
int darkPixels(const QImage& image, QRect area) {
    area = area.intersected(image.rect());
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 110)
                ++dark;
        }
    }
    return dark;
}

int distinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    }
    return static_cast<int>(colours.size());
}

// The window as the X server shows it, frame included when a window manager drew one.
QImage grabFromScreen(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    return window.screen()
        ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

TEST(WindowScreenshot, ListedEntriesAreDrawnOnScreen) {
    auto display = ombrix::testing::VirtualDisplay::start(10s);
    ASSERT_TRUE(display) << "Xvfb could not be started (scripts/setup.sh installs it)";
    setenv("DISPLAY", display->name().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const bool framed = display->startWindowManager(OPENBOX_CONFIG, 10s);

    int argc = 1;
    char name[] = "window_screenshot_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    const ombrix::testing::TemporaryRegistration registration(OMBRIX_LIBRARY_PATH);
    ASSERT_EQ(registration.failure(), "");

    testing::ScriptedDnsServer server(testing::answering(
        {{20, "backup.ombrix.example"}, {10, "mx1.ombrix.example"}, {10, "mx2.ombrix.example"}}));
    MainWindow window([](QWidget*, const component::ErrorInfo& error) {
        ADD_FAILURE() << "error " << error.number;
    });
    ASSERT_FALSE(window.load().has_value());
    window.ui().domain_txt->setText("ombrix.example");
    window.ui().dns_txt->setText(QString::fromStdString(server.setting()));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    if (framed) {
        for (int waits = 0; waits < 100 && window.frameGeometry() == window.geometry(); ++waits) {
            QTest::qWait(20);
        }
    }
    window.ui().query_btn->click();
    ASSERT_EQ(window.ui().res_lst->count(), 3);
    QTest::qWait(200);

    const QImage shot = grabFromScreen(window);
    const QString path = QStringLiteral(SAMPLE_SCREENSHOT_PATH);
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(shot.save(path));

    ASSERT_FALSE(shot.isNull());
    EXPECT_GT(distinctColours(shot), 16);

    const QPoint client = window.mapToGlobal(QPoint(0, 0)) - window.frameGeometry().topLeft();
    const QListWidget& list = *window.ui().res_lst;
    const QPoint listOrigin = list.viewport()->mapTo(&window, QPoint(0, 0)) + client;
    int rowsBottom = 0;
    for (int row = 0; row < list.count(); ++row) {
        const QRect item = list.visualItemRect(list.item(row)).translated(listOrigin);
        SCOPED_TRACE(row);
        EXPECT_GT(darkPixels(shot, item), 20);
        rowsBottom = item.bottom();
    }
    // Below the three items the list is empty.
    const QRect empty(listOrigin.x(), rowsBottom + 2, list.viewport()->width(),
                      listOrigin.y() + list.viewport()->height() - rowsBottom - 4);
    EXPECT_EQ(darkPixels(shot, empty), 0);
    // The count label shows its text.
    const QWidget& count = *window.ui().num_lbl;
    EXPECT_GT(darkPixels(shot, QRect(count.mapTo(&window, QPoint(0, 0)) + client, count.size())),
              20);
}

}  // namespace
}  // namespace ombrix::sample
