#pragma once

#include <QString>
#include <QWidget>

#include "ombrix/component/qt/control_host.h"
#include "ombrix/widgets/mxquery_client.h"

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

    // The sited control's members as C++ functions; its calls throw error 91 when the control
    // could not be created (creationError() says why).
    MxQueryClient client(std::string hostSource = MxQueryClient::kDefaultHostSource) const;
};

}  // namespace ombrix
