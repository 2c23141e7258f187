#include "ombrix/component/server_module.h"

#include "control/mxquery.h"
#include "control/mxquery_type_library.h"

namespace component {

const ServerModule& componentServerModule() {
    static const ServerModule module{&ombrix::typeLibrary(),
                                     {{&ombrix::mxqueryClass(), &ombrix::MxQuery::create}}};
    return module;
}

}  // namespace component
