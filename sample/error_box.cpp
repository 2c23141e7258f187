#include "sample/error_box.h"

#include <QMessageBox>

namespace ombrix::sample {

QString errorMessage(const component::ErrorInfo& error) {
    return QStringLiteral("Run-time error %1 in %2:\n\n%3")
        .arg(error.number)
        .arg(QString::fromStdU16String(error.source), QString::fromStdU16String(error.description));
}

void showErrorBox(QWidget* window, const component::ErrorInfo& error) {
    QMessageBox::critical(window, QStringLiteral("OmbrixSample"), errorMessage(error));
}

}  // namespace ombrix::sample
