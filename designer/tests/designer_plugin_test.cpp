// The Designer plugins loaded as Designer and QUiLoader load them, without a display: the
// mxquery entry, another control library's entry beside it, and the sample's earlier form.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QUiLoader>
#include <QWidget>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <memory>

#include "testing/temporary_registry.h"
#include "counter_server_support.h"

namespace ombrix {
namespace {

const QStringList kPlugins = {QStringLiteral(OMBRIX_DESIGNER_PLUGIN),
                              QStringLiteral(COUNTER_DESIGNER_PLUGIN),
                              QStringLiteral(CONTROL_HOST_DESIGNER_PLUGIN)};

// Never unloaded: widgets a plugin made must not outlive its code.
QDesignerCustomWidgetInterface* loadPlugin(const QString& path) {
    QPluginLoader loader(path);
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    EXPECT_NE(plugin, nullptr) << loader.errorString().toStdString();
    return plugin;
}

// A plugin's widgets carry the plugin's own copy of the host class, which qobject_cast does
// not know: the host is recognised by its class name, the control by the face it shows.
bool sitesControl(const QWidget* widget, const char* progId) {
    return widget != nullptr && widget->inherits("component::ControlHost") &&
           widget->property("control").toString() == QLatin1String(progId) &&
           widget->findChild<QWidget*>() != nullptr;
}

class DesignerPlugins : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(registration_.failure(), "");
        registerCounterServer();
    }

    testing::TemporaryRegistration registration_{OMBRIX_LIBRARY_PATH};
};

TEST_F(DesignerPlugins, WidgetBoxNamesTheControlAndItsWidgetStays32x32) {
    QDesignerCustomWidgetInterface* plugin = loadPlugin(kPlugins[0]);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->group(), QStringLiteral("Ombrix"));
    EXPECT_EQ(plugin->toolTip(), QStringLiteral("MX Resolver"));
    EXPECT_EQ(plugin->icon().pixmap(QSize(16, 15)).size(), QSize(16, 15));
    EXPECT_TRUE(plugin->domXml().contains(QStringLiteral(R"(displayname="mxquery")")));
    EXPECT_TRUE(plugin->domXml().contains(QStringLiteral("class=\"%1\"").arg(plugin->name())));
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral(WIDGETS_INCLUDE_ROOT) + plugin->includeFile()));

    const std::unique_ptr<QWidget> widget(plugin->createWidget(nullptr));
    ASSERT_NE(widget, nullptr);
    // Generated code instantiates name(), and the Object Inspector shows the widget's class.
    EXPECT_EQ(QString::fromLatin1(widget->metaObject()->className()), plugin->name());
    EXPECT_TRUE(plugin->name().endsWith(QStringLiteral("::mxquery")));
    EXPECT_TRUE(sitesControl(widget.get(), "Ombrix.mxquery"));
    widget->show();
    for (const QSize requested : {QSize(120, 90), QSize(5, 64)}) {
        widget->resize(requested);
        QApplication::processEvents();
        EXPECT_EQ(widget->size(), QSize(32, 32));
    }
}

TEST_F(DesignerPlugins, TwoControlLibrariesAndTheLayersHostLoadSideBySide) {
    QStringList classes;
    for (const QString& path : kPlugins) {
        QDesignerCustomWidgetInterface* plugin = loadPlugin(path);
        ASSERT_NE(plugin, nullptr);
        EXPECT_FALSE(classes.contains(plugin->name())) << plugin->name().toStdString();
        classes << plugin->name();
    }
    EXPECT_EQ(loadPlugin(kPlugins[1])->group(), QStringLiteral("CounterLib"));

    // A form with one widget of each, loaded at run time through the plugins.
    QTemporaryDir plugins;
    ASSERT_TRUE(plugins.isValid());
    for (const QString& path : kPlugins)
        ASSERT_TRUE(QFile::link(path, plugins.filePath(QFileInfo(path).fileName())));
    QUiLoader loader;
    loader.clearPluginPaths();
    loader.addPluginPath(plugins.path());
    QByteArray form = QStringLiteral(R"(<ui version="4.0"><widget class="QWidget" name="form">
 <widget class="%1" name="mx"/><widget class="%2" name="counter"/>
 <widget class="%3" name="host"><property name="control"><string>Test.counter</string></property></widget>
</widget></ui>)")
                          .arg(classes[0], classes[1], classes[2])
                          .toUtf8();
    QBuffer buffer(&form);
    const std::unique_ptr<QWidget> window(loader.load(&buffer));
    ASSERT_NE(window, nullptr) << loader.errorString().toStdString();
    EXPECT_TRUE(sitesControl(window->findChild<QWidget*>("mx"), "Ombrix.mxquery"));
    EXPECT_TRUE(sitesControl(window->findChild<QWidget*>("counter"), "Test.counter"));
    EXPECT_TRUE(sitesControl(window->findChild<QWidget*>("host"), "Test.counter"));
}

TEST_F(DesignerPlugins, TheSamplesEarlierFormStillCreatesTheSameControl) {
    QUiLoader loader;
    loader.clearPluginPaths();
    loader.addPluginPath(QFileInfo(kPlugins[2]).path());
    QFile form(QStringLiteral(SAMPLE_FORM));
    ASSERT_TRUE(form.open(QIODevice::ReadOnly));
    const std::unique_ptr<QWidget> window(loader.load(&form));
    ASSERT_NE(window, nullptr) << loader.errorString().toStdString();
    EXPECT_TRUE(sitesControl(window->findChild<QWidget*>("mx"), "Ombrix.mxquery"));
}

}  // namespace
}  // namespace ombrix
