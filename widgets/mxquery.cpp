#include "ombrix/widgets/mxquery.h"

#include <utility>

#include "ombrix/widgets/mxquery_dispatch_ids.h"

namespace ombrix {

mxquery::mxquery(QWidget* parent) : ControlHost(parent) {
    setControl(QString::fromLatin1(kMxQueryProgId));
}

MxQueryClient mxquery::client(std::string hostSource) const {
    return MxQueryClient(dispatch(), std::move(hostSource));
}

}  // namespace ombrix
