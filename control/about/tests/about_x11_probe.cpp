// Opens the About dialog over a plain host window on a real X11 display, for
// about_on_x11.sh, which inspects both with the X11 tools. It prints the window ids, then
// activates the host as a user would and says so; it ends when killed or after a minute.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "control/about/about_box.h"

namespace {

constexpr int kWaitMs = 10000;
constexpr int kLifetimeMs = 60000;

QWidget* aboutWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("about") && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

void say(const char* line) {
    std::puts(line);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTimer::singleShot(kLifetimeMs, &app, &QApplication::quit);

    QWidget host;
    host.setWindowTitle(QStringLiteral("Host"));
    host.setGeometry(100, 100, 600, 500);
    host.show();
    if (!QTest::qWaitForWindowActive(&host, kWaitMs)) {
        say("error: the host window never became active");
        return 1;
    }

    ombrix::displayAboutBox();
    QWidget* about = aboutWindow();
    if (about == nullptr || !QTest::qWaitForWindowExposed(about, kWaitMs)) {
        say("error: the About dialog did not appear");
        return 1;
    }
    std::printf("host 0x%llx about 0x%llx\n", static_cast<unsigned long long>(host.winId()),
                static_cast<unsigned long long>(about->winId()));
    std::fflush(stdout);

    host.raise();
    host.activateWindow();
    if (!QTest::qWaitForWindowActive(&host, kWaitMs)) {
        say("error: the host window could not be activated again");
        return 1;
    }
    say("host-active");
    return app.exec();
}
