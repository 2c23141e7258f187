#pragma once

#include "ombrix/component/dispatch.h"
#include "ombrix/component/type_library.h"
#include "ombrix/widgets/mxquery_dispatch_ids.h"

namespace ombrix {

// The library's type library "Ombrix": class mxquery, its interfaces and the result records.
const component::TypeLibrary& typeLibrary();
const component::ClassInfo& mxqueryClass();
const component::InterfaceInfo& mxqueryInterface();

}  // namespace ombrix
