// A host's own code running while MXQuery waits for its reply: timers that call the control
// again, destroy it or end the host's event loops, and a second thread that asks for the
// About dialog.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QTimer>
#include <thread>
#include <vector>

#include "component/dispatch_table.h"
#include "component/exports.h"
#include "component/qt/control_host.h"
#include "control/mxquery_type_library.h"
#include "testing/held_reply.h"
#include "testing/mx_answer.h"
#include "testing/temporary_registry.h"

namespace ombrix {
namespace {

using component::CallResult;
using component::Dispatch;
using component::ErrorInfo;
using component::InvokeKind;
using component::Variant;
using testing::ScriptedDnsServer;

CallResult call(Dispatch& mx, component::DispId id, std::vector<Variant> args = {},
                InvokeKind kind = InvokeKind::Method) {
    Variant result;
    ErrorInfo error;
    if (!component::succeeded(mx.invoke(id, kind, args, &result, &error)))
        return error;
    return result;
}

class QueryWait : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(registration_.failure(), "");
        auto* host = new component::ControlHost;
        host_ = host;
        host->setControl(QStringLiteral("Ombrix.mxquery"));
        ASSERT_TRUE(host->hasControl());
        host->show();
        // Only the host holds a reference, as with a control that a form created.
        mx_ = host->dispatch().get();
        ASSERT_NE(mx_, nullptr);
        const std::string setting = server_.setting();
        std::vector<Variant> server{Variant(std::u16string(setting.begin(), setting.end()))};
        Variant ignored;
        ErrorInfo error;
        ASSERT_EQ(mx_->invoke(dispid::kDns, InvokeKind::PropertyPut, server, &ignored, &error),
                  component::kOk);
    }
    void TearDown() override { delete host_.data(); }

    CallResult query(Dispatch& mx) {
        return call(mx, dispid::kMxQuery, {std::u16string(u"wait.example")});
    }
    Dispatch& mx() { return *mx_; }

    testing::TemporaryRegistration registration_{OMBRIX_LIBRARY_PATH};
    testing::HeldReply held_;
    ScriptedDnsServer server_{held_.holding(testing::answering({{10, "mx.wait.example"}}))};
    QPointer<component::ControlHost> host_;
    Dispatch* mx_ = nullptr;
};

TEST_F(QueryWait, ShowsTheBusyPointerRefusesCallsFromATimerAndFinishesTheQuery) {
    std::vector<CallResult> nested;
    std::optional<Qt::CursorShape> pointer;
    QTimer::singleShot(0, [&] {
        if (const QCursor* shown = QGuiApplication::overrideCursor())
            pointer = shown->shape();
        nested.push_back(query(mx()));
        nested.push_back(call(mx(), dispid::kGetBestMx));
        held_.release();
    });
    EXPECT_EQ(query(mx()), CallResult(Variant(u"1")));

    ASSERT_EQ(nested.size(), 2u) << "the timer did not run during the wait";
    for (const CallResult& refused : nested) {
        const auto* error = std::get_if<ErrorInfo>(&refused);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->number, 20001);
        EXPECT_EQ(error->source, u"mxquery");
    }
    EXPECT_EQ(server_.udpQueryCount(), 1u) << "a nested query went out";
    EXPECT_EQ(pointer, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(call(mx(), dispid::kGetBestMx), CallResult(Variant(u"mx.wait.example")));
}

TEST_F(QueryWait, DestroyingTheControlDuringTheWaitLetsTheQueryFinishAndThenFreesIt) {
    Dispatch& control = mx();
    QTimer::singleShot(0, [&] {
        delete host_.data();
        held_.release();
    });
    EXPECT_EQ(query(control), CallResult(Variant(u"1")));
    EXPECT_TRUE(host_.isNull());

    const auto canUnloadNow = reinterpret_cast<decltype(&DllCanUnloadNow)>(
        dlsym(registration_.library(), "DllCanUnloadNow"));
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), component::kOk) << "the control outlived its last call";
}

TEST_F(QueryWait, HostEndingItsEventLoopsDuringTheWaitStillGetsTheResult) {
    QTimer::singleShot(0, [&] {
        QCoreApplication::exit(0);
        held_.release();
    });
    EXPECT_EQ(query(mx()), CallResult(Variant(u"1")));
}

TEST_F(QueryWait, AboutBoxFromAnotherThreadIsRefusedAndLeavesNoWindow) {
    CallResult outcome;
    std::thread([&] { outcome = call(mx(), dispid::kDisplayAboutBox); }).join();
    const auto* error = std::get_if<ErrorInfo>(&outcome);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->number, 20002);
    EXPECT_NE(error->description.find(u"GUI thread"), std::u16string::npos);
    QApplication::processEvents();
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_NE(window->objectName(), QStringLiteral("about"));
}

}  // namespace
}  // namespace ombrix
