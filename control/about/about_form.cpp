#include "control/about/about_form.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QUrl>

#include "ombrix_version_info.h"

// Resources of a static library are registered by hand; the macro must be used outside
// any namespace.
static void registerAboutResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(ombrix_about);
        return true;
    }();
    static_cast<void>(registered);
}

namespace ombrix {

namespace {

// A fixed border with a title bar and a close box only. The stays-on-top hint goes in
// before the window is first shown: an X11 window manager reads the initial state when the
// window is mapped, and keeps the window above from then on.
constexpr Qt::WindowFlags kWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
    Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint;

QString fromUtf8(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

AboutForm::AboutForm() : QDialog(nullptr, kWindowFlags) {
    registerAboutResources();
    ui_.setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    // The dialog belongs to the library; closing it must never end the host's program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(size());

    fillFromVersionRecord();
    ui_.ok_btn->setFocus();

    connect(ui_.ok_btn, &QPushButton::clicked, this, &QWidget::close);
    connect(ui_.email_btn, &QPushButton::clicked, this,
            [this] { handToDesktop(QStringLiteral("mailto:") + fromUtf8(version::kAuthorEmail)); });
    connect(ui_.Web_btn, &QPushButton::clicked, this,
            [this] { handToDesktop(fromUtf8(version::kWebAddress)); });
}

void AboutForm::fillFromVersionRecord() {
    const QString product = fromUtf8(version::kProductName);
    const QString maker = fromUtf8(version::kMaker);
    setWindowTitle(QStringLiteral("About : ") + product);
    ui_.app_lbl->setText(product + QStringLiteral(" by the ") + maker);
    ui_.auth_lbl->setText(QStringLiteral("Author(s) : ") + fromUtf8(version::kComments));
    ui_.vers_lbl->setText(QStringLiteral("Version : %1.%2.%3")
                              .arg(version::kMajor)
                              .arg(version::kMinor)
                              .arg(version::kRevision));
    ui_.contact_frm->setTitle(maker);
}

// The desktop's answer only matters to the user: a missing program or a failure leaves the
// dialog as it was.
void AboutForm::handToDesktop(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

void AboutForm::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace ombrix
