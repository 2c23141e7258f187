#include "component/qt/designer/control_host_plugin.h"

#include "ombrix/component/qt/control_host.h"

namespace component {
namespace {

ControlWidgetDescription controlHost() {
    ControlWidgetDescription description;
    description.widgetClass = QStringLiteral("component::ControlHost");
    description.includeFile = QStringLiteral("ombrix/component/qt/control_host.h");
    description.displayName = QStringLiteral("Control host");
    description.objectName = QStringLiteral("control");
    description.group = QStringLiteral("Components");
    description.toolTip = QStringLiteral("A registered control, named in the control property");
    description.whatsThis = QStringLiteral(
        "Sites the control whose programmatic identifier the control property names, created "
        "through the registration store.");
    description.properties =
        QStringLiteral(R"(<property name="control"><string notr="true"/></property>)");
    description.create = [](QWidget* parent) { return new ControlHost(parent); };
    return description;
}

}  // namespace

ControlHostPlugin::ControlHostPlugin(QObject* parent)
    : QObject(parent), ControlWidgetEntry(controlHost()) {}

}  // namespace component
