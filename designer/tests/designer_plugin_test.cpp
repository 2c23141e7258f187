// The designer plugin loaded as the designer loads it, without a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPluginLoader>
#include <QWidget>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <memory>

#include "testing/temporary_registry.h"

namespace ombrix {
namespace {

TEST(MxQueryDesignerPlugin, PutsTheControlInTheWidgetBoxAndKeepsIt32x32) {
    ombrix::testing::TemporaryRegistration registration(OMBRIX_LIBRARY_PATH);
    ASSERT_EQ(registration.failure(), "");

    // Never unloaded: widgets the plugin made must not outlive its code.
    QPluginLoader loader(QStringLiteral(OMBRIX_DESIGNER_PLUGIN));
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    ASSERT_NE(plugin, nullptr) << loader.errorString().toStdString();

    EXPECT_EQ(plugin->group(), QStringLiteral("Ombrix"));
    EXPECT_EQ(plugin->includeFile(), QStringLiteral("component/qt/control_host.h"));
    EXPECT_FALSE(plugin->isContainer());
    EXPECT_EQ(plugin->icon().pixmap(QSize(16, 15)).size(), QSize(16, 15));
    const QString dom = plugin->domXml();
    EXPECT_TRUE(dom.contains(QStringLiteral(R"(<property name="control">)")));
    EXPECT_TRUE(dom.contains(QStringLiteral(R"(<string notr="true">Ombrix.mxquery</string>)")));

    const std::unique_ptr<QWidget> widget(plugin->createWidget(nullptr));
    ASSERT_NE(widget, nullptr);
    // Generated code instantiates name(), so it must be the widget's own class.
    EXPECT_EQ(QString::fromLatin1(widget->metaObject()->className()), plugin->name());
    EXPECT_TRUE(dom.contains(QStringLiteral("class=\"%1\"").arg(plugin->name())));
    EXPECT_EQ(widget->property("control").toString(), QStringLiteral("Ombrix.mxquery"));

    widget->show();
    for (const QSize requested : {QSize(120, 90), QSize(5, 64)}) {
        widget->resize(requested);
        QApplication::processEvents();
        EXPECT_EQ(widget->size(), QSize(32, 32));
    }
}

}  // namespace
}  // namespace ombrix
