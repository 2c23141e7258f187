// Puts windows on a real X11 display for about_on_x11.sh, which inspects them with the X11
// tools. As a host it shows a plain window, opens the About dialog, prints both window ids
// and activates its own window again, as a user would. With --other it plays another
// program: one plain window over the dialog's place, activated. Either way it says when it
// is ready and ends when killed, or after a minute.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>

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

void say(const char* word, const QWidget& window) {
    std::printf("%s 0x%llx\n", word, static_cast<unsigned long long>(window.winId()));
    std::fflush(stdout);
}

bool showActive(QWidget& window, const QString& title) {
    window.setWindowTitle(title);
    window.setGeometry(200, 150, 600, 500);
    window.show();
    window.raise();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window, kWaitMs);
}

int fail(const char* why) {
    std::printf("error: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTimer::singleShot(kLifetimeMs, &app, &QApplication::quit);
    QWidget window;

    if (argc > 1 && std::strcmp(argv[1], "--other") == 0) {
        if (!showActive(window, QStringLiteral("Other program"))) {
            return fail("the other program's window never became active");
        }
        say("other", window);
        return app.exec();
    }

    if (!showActive(window, QStringLiteral("Host"))) {
        return fail("the host window never became active");
    }
    ombrix::displayAboutBox();
    QWidget* about = aboutWindow();
    if (about == nullptr || !QTest::qWaitForWindowExposed(about, kWaitMs)) {
        return fail("the About dialog did not appear");
    }
    say("about", *about);
    if (!showActive(window, QStringLiteral("Host"))) {
        return fail("the host window could not be activated again");
    }
    say("host", window);
    return app.exec();
}
