#include "sample/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "sample/error_box.h"
#include "sample/tests/qt_printing.h"
#include "testing/mx_answer.h"
#include "testing/temporary_registry.h"

namespace ombrix::sample {
namespace {

using testing::answering;
using testing::Responder;
using testing::ScriptedDnsServer;

// The control is registered once for the whole run, when tests run (not when they are only
// listed).
class RegisteredControl : public ::testing::Environment {
  public:
    void SetUp() override {
        registration_.emplace(OMBRIX_LIBRARY_PATH);
        ASSERT_EQ(registration_->failure(), "");
    }
    void TearDown() override { registration_.reset(); }

  private:
    std::optional<ombrix::testing::TemporaryRegistration> registration_;
};

[[maybe_unused]] const auto* const kRegisteredControl =
    ::testing::AddGlobalTestEnvironment(new RegisteredControl);

struct Report {
    QWidget* window;
    component::ErrorInfo error;
};

// A window whose load step has run, with the control it created; errors are collected
// instead of shown.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = std::make_unique<MainWindow>(
            [this](QWidget* window, const component::ErrorInfo& error) {
                reports_.push_back({window, error});
            });
        const auto error = window_->load();
        ASSERT_FALSE(error.has_value())
            << error->number << " " << QString::fromStdU16String(error->description).toStdString();
    }

    const Ui::main& ui() const { return window_->ui(); }

    void query(const std::string& server, const QString& domain) {
        ui().dns_txt->setText(QString::fromStdString(server));
        ui().domain_txt->setText(domain);
        ui().query_btn->click();
    }

    QStringList items() const {
        QStringList out;
        for (int row = 0; row < ui().res_lst->count(); ++row)
            out << ui().res_lst->item(row)->text();
        return out;
    }

    std::unique_ptr<MainWindow> window_;
    std::vector<Report> reports_;
};

struct Placement {
    const char* name;
    const char* kind;
    const char* container;
    QRect pixels;
};

TEST_F(MainWindowTest, ControlsSitInTheirContainersAtTheirPlaces) {
    const Placement layout[] = {
        {"results_frm", "QGroupBox", "main", {0, 144, 257, 145}},
        {"res_lst", "QListWidget", "results_frm", {8, 56, 241, 82}},
        {"best_lbl", "QLabel", "results_frm", {8, 32, 241, 17}},
        {"num_lbl", "QLabel", "results_frm", {8, 16, 241, 17}},
        {"DNS_frm", "QGroupBox", "main", {0, 48, 257, 41}},
        {"dns_txt", "QLineEdit", "DNS_frm", {8, 16, 241, 19}},
        {"domain_frm", "QGroupBox", "main", {0, 0, 257, 41}},
        {"domain_txt", "QLineEdit", "domain_frm", {8, 16, 241, 19}},
        {"query_btn", "QPushButton", "main", {0, 96, 257, 41}},
        {"mx", "component::ControlHost", "main", {0, 0, 32, 32}},
    };
    for (const auto& expected : layout) {
        SCOPED_TRACE(expected.name);
        auto* widget = window_->findChild<QWidget*>(expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(expected.kind));
        EXPECT_EQ(widget->parentWidget()->objectName(), expected.container);
        EXPECT_EQ(widget->geometry(), expected.pixels);
    }
    EXPECT_TRUE(ui().mx->hasControl());

    // Stacking follows creation order: the control lies above the corner of domain_frm.
    QStringList stacking;
    for (auto* child : window_->children()) {
        if (child->isWidgetType())
            stacking << child->objectName();
    }
    EXPECT_EQ(stacking, (QStringList{"results_frm", "DNS_frm", "domain_frm", "query_btn", "mx"}));
}

TEST_F(MainWindowTest, WindowHasAFixedClientAreaAndNoMinimiseOrMaximiseBox) {
    EXPECT_EQ(window_->objectName(), "main");
    EXPECT_EQ(window_->size(), QSize(259, 290));
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
    const Qt::WindowFlags flags = window_->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

    const QImage icon(QStringLiteral(":/sample/icon.png"));
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_LE(icon.colorCount(), 16);
    EXPECT_FALSE(window_->windowIcon().isNull());
}

bool takesTabFocus(const QWidget& widget) {
    if (widget.focusPolicy() & Qt::TabFocus)
        return true;
    for (const auto* child : widget.findChildren<QWidget*>()) {
        if (child->focusPolicy() & Qt::TabFocus)
            return true;
    }
    return false;
}

TEST_F(MainWindowTest, TabMovesFromTheButtonThroughTheFieldsToTheList) {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    ASSERT_EQ(QApplication::focusWidget(), ui().query_btn);

    QStringList visited;
    for (int presses = 0; presses < 8; ++presses) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        if (focus == ui().query_btn)
            break;
        // Whatever part of the control takes the focus counts as the control.
        visited << (ui().mx->isAncestorOf(focus) || focus == ui().mx ? QStringLiteral("mx")
                                                                     : focus->objectName());
    }
    QStringList expected{"domain_txt", "dns_txt", "res_lst"};
    if (takesTabFocus(*ui().mx))
        expected << "mx";
    EXPECT_EQ(visited, expected);
}

TEST_F(MainWindowTest, BeforeTheFirstQueryTheCaptionsAreTheDesignedOnes) {
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Using Ombrix v" OMBRIX_VERSION_TEXT));
    EXPECT_EQ(ui().num_lbl->text(), "Number of results :");
    EXPECT_EQ(ui().best_lbl->text(), "Best MX :");
    EXPECT_EQ(ui().res_lst->count(), 0);
    EXPECT_EQ(ui().results_frm->title(), "Results");
    EXPECT_EQ(ui().DNS_frm->title(), "DNS Server to query");
    EXPECT_EQ(ui().domain_frm->title(), "Domain");
    EXPECT_EQ(ui().query_btn->text(), "MX Query");
    EXPECT_FALSE(ui().dns_txt->text().isEmpty());
    EXPECT_FALSE(ui().domain_txt->text().isEmpty());
}

TEST_F(MainWindowTest, EntriesAreListedByPreferenceWithTheBestFirst) {
    std::atomic<int> cursorDuringQuery{-1};
    auto reply =
        answering({{20, "mx-b.ombrix.test"}, {10, "mx-a.ombrix.test"}, {10, "mx-c.ombrix.test"}});
    ScriptedDnsServer server([&](const std::vector<std::uint8_t>& query, Responder& out) {
        // The window thread waits for this very reply, so the pointer is not changing now.
        const QCursor* cursor = QApplication::overrideCursor();
        cursorDuringQuery = cursor ? cursor->shape() : -2;
        reply(query, out);
    });

    query(server.setting(), "ombrix.test");

    EXPECT_TRUE(reports_.empty());
    EXPECT_EQ(server.queries().size(), 1u);
    EXPECT_EQ(ui().num_lbl->text(), "Number of results : 3");
    EXPECT_EQ(ui().best_lbl->text(), "Best MX : mx-a.ombrix.test");
    EXPECT_EQ(items(), (QStringList{"[10] mx-a.ombrix.test", "[10] mx-c.ombrix.test",
                                    "[20] mx-b.ombrix.test"}));
    EXPECT_TRUE(ui().res_lst->selectedItems().isEmpty());
    EXPECT_EQ(ui().dns_txt->text(), QString::fromStdString(server.setting()));
    EXPECT_EQ(ui().domain_txt->text(), "ombrix.test");
    EXPECT_EQ(cursorDuringQuery, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, PreferenceIsShownAsTheUnsignedNumberItIs) {
    ScriptedDnsServer server(
        answering({{65535, "last.ombrix.test"}, {32768, "middle.ombrix.test"}}));
    query(server.setting(), "ombrix.test");
    EXPECT_EQ(items(), (QStringList{"[32768] middle.ombrix.test", "[65535] last.ombrix.test"}));
}

TEST_F(MainWindowTest, QueriesThatFindNothingShowZeroAndNoBest) {
    ScriptedDnsServer empty(answering({}));
    ScriptedDnsServer server(answering({{10, "mx.ombrix.test"}}));
    const std::pair<std::string, QString> nothingFound[] = {
        {empty.setting(), "ombrix.test"},
        // An empty field is still handed to the control, which then asks nobody.
        {"", "ombrix.test"},
        {server.setting(), ""},
    };
    for (const auto& [dns, domain] : nothingFound) {
        SCOPED_TRACE(dns + " " + domain.toStdString());
        query(server.setting(), "ombrix.test");
        ASSERT_EQ(ui().res_lst->count(), 1);
        query(dns, domain);
        EXPECT_EQ(ui().num_lbl->text(), "Number of results : 0");
        EXPECT_EQ(ui().best_lbl->text(), "Best MX : ");
        EXPECT_EQ(ui().res_lst->count(), 0);
    }
    EXPECT_TRUE(reports_.empty());
    EXPECT_EQ(empty.queries().size(), 1u);
    EXPECT_EQ(server.queries().size(), 3u);
}

TEST_F(MainWindowTest, SecondQueryReplacesTheListOfTheFirst) {
    ScriptedDnsServer first(answering({{10, "a.one.test"}, {20, "b.one.test"}}));
    ScriptedDnsServer second(answering({{5, "c.two.test"}}));
    query(first.setting(), "one.test");
    ASSERT_EQ(ui().res_lst->count(), 2);
    query(second.setting(), "two.test");
    EXPECT_EQ(items(), QStringList{"[5] c.two.test"});
    EXPECT_EQ(ui().num_lbl->text(), "Number of results : 1");
}

// A server setting the control cannot use raises its own error from MXQuery, before any
// packet leaves.
constexpr char kUnusableServer[] = "127.0.0.1:99999";

TEST_F(MainWindowTest, ErrorFromTheQueryIsReportedAndTheWindowCarriesOn) {
    ScriptedDnsServer server(answering({{10, "mx.ombrix.test"}}));
    query(server.setting(), "ombrix.test");
    ASSERT_EQ(ui().res_lst->count(), 1);

    query(kUnusableServer, "ombrix.test");

    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].window, window_.get());
    EXPECT_EQ(reports_[0].error.number, 20000);
    EXPECT_EQ(reports_[0].error.source, u"MXQuery");
    EXPECT_FALSE(reports_[0].error.description.empty());
    EXPECT_EQ(ui().res_lst->count(), 0);
    EXPECT_EQ(ui().num_lbl->text(), "Number of results : 1");
    EXPECT_EQ(ui().best_lbl->text(), "Best MX : mx.ombrix.test");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    query(server.setting(), "ombrix.test");
    EXPECT_EQ(reports_.size(), 1u);
    EXPECT_EQ(items(), QStringList{"[10] mx.ombrix.test"});
}

// Closes the first message box that shows up; gives up after a bounded number of looks.
class MessageBoxCatcher {
  public:
    MessageBoxCatcher() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start();
    }
    const std::optional<QString>& text() const { return text_; }

  private:
    void look() {
        for (auto* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box && box->isVisible()) {
                text_ = box->text();
                box->accept();
                timer_.stop();
                return;
            }
        }
        if (++looks_ > 500) {
            timer_.stop();
            QApplication::closeAllWindows();
        }
    }

    QTimer timer_;
    int looks_ = 0;
    std::optional<QString> text_;
};

TEST(SampleProgram, ErrorIsShownInAMessageBoxWithNumberSourceAndDescription) {
    MainWindow window(showErrorBox);
    ASSERT_FALSE(window.load().has_value());
    window.show();

    MessageBoxCatcher catcher;
    window.ui().dns_txt->setText(kUnusableServer);
    window.ui().query_btn->click();

    ASSERT_TRUE(catcher.text().has_value());
    EXPECT_TRUE(catcher.text()->contains("20000"));
    EXPECT_TRUE(catcher.text()->contains("MXQuery"));
    EXPECT_TRUE(window.isVisible());
}

TEST(SampleProgram, LoadFailsWhenTheControlIsNotRegistered) {
    const QByteArray store = qgetenv("COMPONENT_REGISTRY");
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    qputenv("COMPONENT_REGISTRY", empty.filePath("registry").toLocal8Bit());
    MainWindow window([](QWidget*, const component::ErrorInfo&) {});
    const auto error = window.load();
    qputenv("COMPONENT_REGISTRY", store);

    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->number, component::kErrCannotCreateObject);
    EXPECT_FALSE(error->description.empty());
}

}  // namespace
}  // namespace ombrix::sample
