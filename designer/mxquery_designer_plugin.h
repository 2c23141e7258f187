#pragma once

#include <QObject>

#include "component/qt/designer/control_widget_entry.h"

namespace ombrix {

// Puts the mxquery control into Designer's widget box as the widget class ombrix::mxquery,
// named and described from the library's type library. The widget creates the control
// through the registry exactly as a program built from the form does.
class MxQueryDesignerPlugin : public QObject, public component::ControlWidgetEntry {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
    Q_INTERFACES(QDesignerCustomWidgetInterface)

  public:
    explicit MxQueryDesignerPlugin(QObject* parent = nullptr);
};

}  // namespace ombrix
