#pragma once

#include "component/qt/control_host.h"

namespace ombrix {

// The mxquery control as a form widget: a control host that always sites "Ombrix.mxquery".
// The class carries the control's own name because Designer shows the widget class in its
// Object Inspector and tells widget box entries apart by it.
class mxquery : public component::ControlHost {
    Q_OBJECT
    // Fixed by the class: not a property that a form sets.
    Q_PROPERTY(QString control READ control DESIGNABLE false)

  public:
    explicit mxquery(QWidget* parent = nullptr);
};

}  // namespace ombrix
