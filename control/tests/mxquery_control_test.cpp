// The control sited in the component layer's control host, as a window built from a form
// sites it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPointer>
#include <memory>

#include "ombrix/component/dispatch_table.h"
#include "ombrix/component/qt/control_host.h"
#include "ombrix/widgets/mxquery_dispatch_ids.h"
#include "testing/temporary_registry.h"

namespace ombrix {
namespace {

std::unique_ptr<component::ControlHost> hostedMxQuery() {
    auto host = std::make_unique<component::ControlHost>();
    host->setControl(QStringLiteral("Ombrix.mxquery"));
    host->show();
    QApplication::processEvents();
    return host;
}

component::CallResult invoke(const component::ControlHost& host, component::DispId id) {
    component::Variant result;
    component::ErrorInfo error;
    if (!component::succeeded(
            host.dispatch()->invoke(id, component::InvokeKind::Method, {}, &result, &error))) {
        return error;
    }
    return result;
}

// Visible top-level windows that are not control hosts.
std::vector<QPointer<QWidget>> openForms() {
    std::vector<QPointer<QWidget>> forms;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !qobject_cast<component::ControlHost*>(window)) {
            forms.emplace_back(window);
        }
    }
    return forms;
}

class HostedMxQuery : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(registration_.failure(), ""); }

    testing::TemporaryRegistration registration_{OMBRIX_LIBRARY_PATH};
};

TEST_F(HostedMxQuery, FaceIsTheIconAndStays32x32WhateverTheRequestedSize) {
    const auto host = hostedMxQuery();
    ASSERT_TRUE(host->hasControl()) << host->creationError().number;
    for (const QSize requested : {QSize(200, 100), QSize(1, 1), QSize(32, 33), QSize(480, 480)}) {
        host->resize(requested);
        QApplication::processEvents();
        EXPECT_EQ(host->size(), QSize(32, 32)) << requested.width() << "x" << requested.height();
    }

    const QImage icon =
        QImage(QStringLiteral(OMBRIX_FACE_ICON)).convertToFormat(QImage::Format_ARGB32);
    const QImage face = host->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(face.size(), icon.size());
    int opaque = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            if (qAlpha(icon.pixel(x, y)) != 255)
                continue;
            ++opaque;
            EXPECT_EQ(face.pixel(x, y), icon.pixel(x, y)) << "at " << x << "," << y;
        }
    }
    EXPECT_GT(opaque, 32 * 32 / 2);
}

TEST_F(HostedMxQuery, DestroyingOneInstanceUnloadsTheAboutDialogAnotherOpened) {
    const auto opener = hostedMxQuery();
    auto other = hostedMxQuery();
    ASSERT_TRUE(opener->hasControl() && other->hasControl());
    ASSERT_TRUE(openForms().empty());

    EXPECT_EQ(invoke(*opener, dispid::kDisplayAboutBox),
              component::CallResult(component::Variant()));
    EXPECT_EQ(invoke(*opener, dispid::kDisplayAboutBox),
              component::CallResult(component::Variant()));
    QApplication::processEvents();
    const auto forms = openForms();
    ASSERT_EQ(forms.size(), 1u) << "DisplayAboutBox twice opens one dialog";

    other.reset();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    EXPECT_TRUE(forms.front().isNull()) << "the About dialog is still loaded";
    EXPECT_TRUE(openForms().empty());
    EXPECT_EQ(invoke(*opener, dispid::kGetVersion),
              component::CallResult(component::Variant(u"1.1.11")));
}

}  // namespace
}  // namespace ombrix
