// Siting a control in a Qt window through the registry: creation, sizes, destruction, forms.

#include "ombrix/component/qt/control_host.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>

#include "ombrix/component/text.h"
#include "counter_server/counter_type_library.h"
#include "counter_server_support.h"

namespace {

using component::ControlHost;
using component::InvokeKind;
using component::Ref;
using component::Variant;

Variant callCounter(const Ref<component::Dispatch>& counter, component::DispId id) {
    Variant result;
    component::ErrorInfo error;
    std::vector<Variant> none;
    EXPECT_EQ(counter->invoke(id, InvokeKind::Method, none, &result, &error), component::kOk)
        << component::toUtf8(error.description);
    return result;
}

std::string events(const Ref<component::Dispatch>& counter) {
    return component::toUtf8(callCounter(counter, counter::dispid::kEvents).string());
}

QWidget* topLevelNamed(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name)
            return w;
    }
    return nullptr;
}

class HostedCounter : public ::testing::Test {
  protected:
    void SetUp() override { registerCounterServer(); }

    // Sited in a window so that resizes act at once, as in a laid-out form.
    ControlHost* site(const char* progId) {
        auto* host = new ControlHost(&window_);
        host->resize(300, 200);
        // As a layout made in Designer sets it.
        host->setProperty("control", QString::fromLatin1(progId));
        return host;
    }

    TemporaryRegistry registry_;
    QWidget window_;
};

TEST_F(HostedCounter, HostTakesTheSizeTheControlAnswersAfterEveryResize) {
    ControlHost* host = site("Test.counter");
    ASSERT_TRUE(host->hasControl()) << component::toUtf8(host->creationError().description);
    EXPECT_EQ(host->control(), "Test.counter");
    const QSize answered(40, 20);  // 600 x 300 twips
    EXPECT_EQ(host->size(), answered);
    EXPECT_EQ(host->sizeHint(), answered);
    window_.show();

    host->resize(500, 90);
    EXPECT_EQ(host->size(), answered);
    const auto* face = host->findChild<QWidget*>();
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->geometry(), QRect(QPoint(0, 0), answered));

    const std::string log = events(host->dispatch());
    EXPECT_EQ(log.rfind("face;initialize;resize 4500x3000;", 0), 0u) << log;
    EXPECT_TRUE(log.ends_with(";resize 7500x1350;")) << log;
}

TEST_F(HostedCounter, DestroyingTheHostTerminatesTheControlAndReleasesIt) {
    ControlHost* host = site("Test.counter");
    Ref<component::Dispatch> counter = host->dispatch();
    ASSERT_TRUE(counter);
    QPointer<QWidget> face = host->findChild<QWidget*>();
    ASSERT_FALSE(face.isNull());

    delete host;
    EXPECT_TRUE(face.isNull());
    EXPECT_TRUE(events(counter).ends_with(";terminate;")) << events(counter);
    counter.reset();
    EXPECT_EQ(counterCanUnloadNow(), component::kOk) << "the host still holds the control";
}

TEST_F(HostedCounter, ChangingTheIdentifierTerminatesTheCurrentControl) {
    ControlHost* host = site("Test.counter");
    Ref<component::Dispatch> counter = host->dispatch();
    host->setControl(QString());
    EXPECT_FALSE(host->hasControl());
    EXPECT_FALSE(host->dispatch());
    EXPECT_TRUE(events(counter).ends_with(";terminate;"));
}

TEST_F(HostedCounter, UnknownIdentifierLeavesTheHostEmptyWithTheError) {
    ControlHost* host = site("Test.nothing");
    EXPECT_FALSE(host->hasControl());
    EXPECT_FALSE(host->dispatch());
    EXPECT_EQ(host->creationError().number, component::kErrCannotCreateObject);
    EXPECT_EQ(host->findChild<QWidget*>(), nullptr);
}

TEST_F(HostedCounter, TerminateOfOneInstanceUnloadsTheFormsAnotherOpened) {
    ControlHost* first = site("Test.counter");
    ControlHost* second = site("Test.counter");
    window_.show();
    const Ref<component::Dispatch> opener = first->dispatch();
    callCounter(opener, counter::dispid::kOpenForm);
    QWidget* opened = topLevelNamed(QStringLiteral("counterForm"));
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->isVisible());
    const QPointer<QWidget> form = opened;
    EXPECT_EQ(callCounter(opener, counter::dispid::kFormCount), Variant(std::int32_t{1}));

    delete second;
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(callCounter(opener, counter::dispid::kFormCount), Variant(std::int32_t{0}));
}

}  // namespace
