#include "component/qt/designer/control_widget_entry.h"

#include <utility>

namespace component {

ControlWidgetDescription describeControlClass(const TypeLibrary& library, const ClassInfo& cls) {
    ControlWidgetDescription description;
    description.displayName = QString::fromStdString(cls.name);
    description.objectName = description.displayName;
    description.group = QString::fromStdString(library.name);
    description.toolTip = QString::fromStdString(library.helpString);
    description.whatsThis = QStringLiteral("%1: class %2 of the type library %3, created as %4")
                                .arg(description.toolTip, description.displayName,
                                     description.group, QString::fromStdString(cls.progId));
    return description;
}

ControlWidgetEntry::ControlWidgetEntry(ControlWidgetDescription description)
    : description_(std::move(description)) {}

QString ControlWidgetEntry::domXml() const {
    return QStringLiteral(R"(<ui language="c++" displayname="%1">
 <widget class="%2" name="%3">%4</widget>
</ui>
)")
        .arg(description_.displayName.toHtmlEscaped(), description_.widgetClass.toHtmlEscaped(),
             description_.objectName.toHtmlEscaped(), description_.properties);
}

}  // namespace component
