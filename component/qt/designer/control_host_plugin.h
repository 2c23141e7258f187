#pragma once

#include <QObject>

#include "component/qt/designer/control_widget_entry.h"

namespace component {

// The widget box entry of the layer's own ControlHost, which names its control in the
// "control" property. Forms made with it before each control library had a widget class of
// its own load in Designer with their controls sited. It belongs to the layer, not to any
// control library, so there is only ever one.
class ControlHostPlugin : public QObject, public ControlWidgetEntry {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
    Q_INTERFACES(QDesignerCustomWidgetInterface)

  public:
    explicit ControlHostPlugin(QObject* parent = nullptr);
};

}  // namespace component
