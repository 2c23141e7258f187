// Another control library's Designer plugin, for the side-by-side test: the test server's
// counter control as the widget class test::counter.
#include <QObject>

#include "ombrix/component/qt/control_host.h"
#include "component/qt/designer/control_widget_entry.h"
#include "counter_server/counter_type_library.h"

namespace test {

class counter : public component::ControlHost {
    Q_OBJECT

  public:
    explicit counter(QWidget* parent = nullptr) : ControlHost(parent) {
        setControl(QStringLiteral("Test.counter"));
    }
};

component::ControlWidgetDescription counterEntry() {
    const auto& library = ::counter::typeLibrary();
    auto description = component::describeControlClass(library, library.classes.front());
    description.widgetClass = QString::fromLatin1(counter::staticMetaObject.className());
    description.create = [](QWidget* parent) { return new counter(parent); };
    return description;
}

class CounterWidgetPlugin : public QObject, public component::ControlWidgetEntry {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
    Q_INTERFACES(QDesignerCustomWidgetInterface)

  public:
    explicit CounterWidgetPlugin(QObject* parent = nullptr)
        : QObject(parent), ControlWidgetEntry(counterEntry()) {}
};

}  // namespace test

#include "counter_widget_plugin.moc"
