#include "designer/mxquery_widget.h"

namespace ombrix {

mxquery::mxquery(QWidget* parent) : ControlHost(parent) {
    setControl(QStringLiteral("Ombrix.mxquery"));
}

}  // namespace ombrix
