#include <QApplication>

#include "sample/error_box.h"
#include "sample/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OmbrixSample"));
    QApplication::setDesktopFileName(QStringLiteral("ombrix-sample"));

    ombrix::sample::MainWindow window(ombrix::sample::showErrorBox);
    if (const auto error = window.load()) {
        ombrix::sample::showErrorBox(nullptr, *error);
        return 1;
    }
    window.show();
    return QApplication::exec();
}
