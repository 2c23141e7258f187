#include "designer/mxquery_designer_plugin.h"

#include <QIcon>
#include <QPixmap>

#include "component/qt/control_host.h"

namespace ombrix {
namespace {

const QString kProgId = QStringLiteral("Ombrix.mxquery");

}  // namespace

MxQueryDesignerPlugin::MxQueryDesignerPlugin(QObject* parent) : QObject(parent) {}

// The class that generated code instantiates, with its namespace.
QString MxQueryDesignerPlugin::name() const {
    return QStringLiteral("component::ControlHost");
}

QString MxQueryDesignerPlugin::group() const {
    return QStringLiteral("Ombrix");
}

QString MxQueryDesignerPlugin::toolTip() const {
    return QStringLiteral("MX resolver control (%1)").arg(kProgId);
}

QString MxQueryDesignerPlugin::whatsThis() const {
    return QStringLiteral(
        "Looks up the mail exchangers of a domain. The form names the control by its "
        "programmatic identifier in the \"control\" property.");
}

QString MxQueryDesignerPlugin::includeFile() const {
    return QStringLiteral("component/qt/control_host.h");
}

QIcon MxQueryDesignerPlugin::icon() const {
    return QIcon(QPixmap(QStringLiteral(":/ombrix-designer/mxquery_toolbox.bmp")));
}

bool MxQueryDesignerPlugin::isContainer() const {
    return false;
}

QWidget* MxQueryDesignerPlugin::createWidget(QWidget* parent) {
    auto* host = new component::ControlHost(parent);
    host->setControl(kProgId);
    return host;
}

bool MxQueryDesignerPlugin::isInitialized() const {
    return initialized_;
}

void MxQueryDesignerPlugin::initialize(QDesignerFormEditorInterface*) {
    initialized_ = true;
}

QString MxQueryDesignerPlugin::domXml() const {
    return QStringLiteral(R"(<ui language="c++">
 <widget class="component::ControlHost" name="mx">
  <property name="control">
   <string notr="true">%1</string>
  </property>
 </widget>
</ui>
)")
        .arg(kProgId);
}

}  // namespace ombrix
