#include "control/about/about_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <vector>

#include "ombrix/component/qt/forms.h"
#include "ombrix_version_info.h"

namespace {

constexpr int kWaitMs = 5000;

std::vector<QWidget*> visibleAboutWindows() {
    std::vector<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("about") && widget->isVisible()) {
            found.push_back(widget);
        }
    }
    return found;
}

QDialog* openAboutDialog() {
    const auto windows = visibleAboutWindows();
    return windows.size() == 1 ? qobject_cast<QDialog*>(windows.front()) : nullptr;
}

template <class T>
T* part(QWidget* dialog, const char* name) {
    return dialog->findChild<T*>(QLatin1String(name));
}

bool isGone(const QPointer<QDialog>& dialog) {
    return QTest::qWaitFor([&] { return dialog.isNull(); }, kWaitMs);
}

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class AboutBoxTest : public ::testing::Test {
  protected:
    // Opens the dialog and waits until it has the keyboard.
    QDialog* openActive() {
        ombrix::displayAboutBox();
        QDialog* dialog = openAboutDialog();
        if (dialog != nullptr && !QTest::qWaitForWindowActive(dialog, kWaitMs)) {
            return nullptr;
        }
        return dialog;
    }

    void TearDown() override {
        component::Forms::ofThisLibrary().unloadAll();
        EXPECT_TRUE(QTest::qWaitFor([] { return visibleAboutWindows().empty(); }, kWaitMs));
    }
};

TEST_F(AboutBoxTest, DisplayWhileOpenActivatesTheSameDialog) {
    QDialog* dialog = openActive();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(component::Forms::ofThisLibrary().count(), 1u);

    QWidget host;
    host.show();
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host, kWaitMs));

    ombrix::displayAboutBox();
    EXPECT_EQ(visibleAboutWindows().size(), 1u);
    EXPECT_EQ(openAboutDialog(), dialog);
    EXPECT_EQ(component::Forms::ofThisLibrary().count(), 1u);
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog, kWaitMs));
}

TEST_F(AboutBoxTest, EveryLoadWritesCaptionAndLinesFromTheVersionRecord) {
    const QString maker = text(ombrix::version::kMaker);
    QPointer<QDialog> previous;
    for (int load = 0; load < 2; ++load) {
        SCOPED_TRACE(load);
        // Right after OK the closed window may still await deletion; it must not come back.
        QDialog* dialog = openActive();
        ASSERT_NE(dialog, nullptr);
        EXPECT_NE(dialog, previous.data());
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("About : Ombrix"));
        EXPECT_EQ(part<QLabel>(dialog, "app_lbl")->text(),
                  QStringLiteral("Ombrix by the ") + maker);
        EXPECT_EQ(part<QLabel>(dialog, "auth_lbl")->text(),
                  QStringLiteral("Author(s) : ") + text(ombrix::version::kComments));
        EXPECT_EQ(part<QLabel>(dialog, "vers_lbl")->text(), QStringLiteral("Version : 1.1.11"));
        EXPECT_EQ(part<QGroupBox>(dialog, "contact_frm")->title(), maker);

        // Whatever a window showed must not reach the next load.
        for (const char* line : {"app_lbl", "auth_lbl", "vers_lbl"}) {
            part<QLabel>(dialog, line)->setText(QStringLiteral("stale"));
        }
        dialog->setWindowTitle(QStringLiteral("stale"));
        part<QPushButton>(dialog, "ok_btn")->click();
        previous = dialog;
    }
    EXPECT_TRUE(isGone(previous));
}

TEST_F(AboutBoxTest, KeyboardEnterClosesEscapeDoesNothingTabCyclesButtons) {
    QDialog* dialog = openActive();
    ASSERT_NE(dialog, nullptr);
    auto* ok = part<QPushButton>(dialog, "ok_btn");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(QApplication::focusWidget(), ok);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_EQ(openAboutDialog(), dialog);

    const std::vector<const char*> cycle = {"email_btn", "Web_btn", "ok_btn"};
    for (const char* next : cycle) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), part<QWidget>(dialog, next)) << next;
    }

    QPointer<QDialog> guard(dialog);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(isGone(guard));
}

TEST_F(AboutBoxTest, CloseBoxUnloadsTheFormWithoutEndingTheHost) {
    QPointer<QDialog> dialog = openActive();
    ASSERT_FALSE(dialog.isNull());

    // Closing the only window inside the host's event loop must not end that loop.
    QTimer::singleShot(0, dialog, &QWidget::close);
    QTimer deadline;
    deadline.setSingleShot(true);
    bool endedByDeadline = false;
    QObject::connect(&deadline, &QTimer::timeout, [&] {
        endedByDeadline = true;
        QCoreApplication::quit();
    });
    deadline.start(300);
    QCoreApplication::exec();

    EXPECT_TRUE(endedByDeadline);
    EXPECT_TRUE(isGone(dialog));
    EXPECT_EQ(component::Forms::ofThisLibrary().count(), 0u);
}

// Receives what the dialog hands to the desktop, so that no program is started.
class DesktopCatcher : public QObject {
    Q_OBJECT

  public:
    std::vector<QUrl> received;

  public slots:
    void open(const QUrl& url) { received.push_back(url); }
};

TEST_F(AboutBoxTest, ContactButtonsHandAddressesToTheDesktopAndKeepTheDialog) {
    DesktopCatcher catcher;
    const std::vector<QString> schemes = {"mailto", "http", "https"};
    for (const QString& scheme : schemes) {
        QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    }
    QDialog* dialog = openActive();
    ASSERT_NE(dialog, nullptr);

    part<QPushButton>(dialog, "email_btn")->click();
    part<QPushButton>(dialog, "Web_btn")->click();
    for (const QString& scheme : schemes) {
        QDesktopServices::unsetUrlHandler(scheme);
    }

    ASSERT_EQ(catcher.received.size(), 2u);
    EXPECT_EQ(catcher.received[0],
              QUrl(QStringLiteral("mailto:") + text(ombrix::version::kAuthorEmail)));
    EXPECT_EQ(catcher.received[1], QUrl(text(ombrix::version::kWebAddress)));
    EXPECT_EQ(openAboutDialog(), dialog);
    EXPECT_EQ(part<QLabel>(dialog, "vers_lbl")->text(), QStringLiteral("Version : 1.1.11"));
}

TEST_F(AboutBoxTest, WindowIsFixedOnTopWithoutOwnerAndCentred) {
    QDialog* dialog = openActive();
    ASSERT_NE(dialog, nullptr);
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_EQ(dialog->windowType(), Qt::Dialog);
    EXPECT_TRUE(flags.testFlags(Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint));
    EXPECT_FALSE(flags.testAnyFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(dialog->parentWidget(), nullptr);
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->minimumSize(), QSize(388, 388));
    EXPECT_EQ(dialog->maximumSize(), QSize(388, 388));

    const QRect screen = dialog->screen()->availableGeometry();
    const QPoint offCentre = dialog->frameGeometry().center() - screen.center();
    EXPECT_LE(offCentre.manhattanLength(), 4) << offCentre.x() << "," << offCentre.y();

    EXPECT_FALSE(dialog->windowIcon().isNull());
    const QImage icon(QStringLiteral(":/ombrix/about/about_icon.png"));
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.format(), QImage::Format_Indexed8);
}

struct Placement {
    const char* name;
    const char* container;
    QRect pixels;
};

TEST_F(AboutBoxTest, ControlsSitInTheirContainersAtTwipsOverFifteen) {
    QDialog* dialog = openActive();
    ASSERT_NE(dialog, nullptr);
    const std::vector<Placement> layout = {
        {"Image1", "about", {0, 0, 388, 96}},
        {"Frame1", "about", {0, 96, 385, 289}},
        {"Frame2", "Frame1", {8, 88, 369, 67}},
        {"app_lbl", "Frame2", {8, 16, 353, 17}},
        {"auth_lbl", "Frame2", {8, 32, 353, 17}},
        {"vers_lbl", "Frame2", {8, 48, 281, 17}},
        {"contact_frm", "Frame1", {272, 160, 105, 81}},
        {"email_btn", "contact_frm", {8, 16, 89, 25}},
        {"Web_btn", "contact_frm", {8, 48, 89, 25}},
        {"ok_btn", "Frame1", {280, 248, 89, 33}},
    };
    for (const Placement& control : layout) {
        SCOPED_TRACE(control.name);
        auto* widget = part<QWidget>(dialog, control.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QLatin1String(control.container));
        EXPECT_EQ(widget->geometry(), control.pixels);
    }
    auto* banner = part<QLabel>(dialog, "Image1");
    EXPECT_EQ(banner->pixmap().size(), QSize(388, 96));
    EXPECT_FALSE(banner->hasScaledContents());
    for (const char* line : {"app_lbl", "auth_lbl", "vers_lbl"}) {
        EXPECT_TRUE(part<QLabel>(dialog, line)->alignment().testFlag(Qt::AlignLeft)) << line;
    }
}

}  // namespace

#include "about_box_test.moc"
