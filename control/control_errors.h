#pragma once

#include <cstdint>

#include "ombrix/component/error_info.h"
#include "control/about/about_box.h"

namespace ombrix {

// Numbers of the errors that the control raises about the way it is called, next to the
// lookup's own 20000.
inline constexpr std::int32_t kErrControlBusy = 20001;
inline constexpr std::int32_t kErrNeedsGuiApplication = 20002;

// A call made while another call of the same control is running, as a host timer does
// while a query waits for its reply.
component::ErrorInfo controlBusyError();
// DisplayAboutBox where no window can be shown.
component::ErrorInfo aboutRefusedError(AboutRefusal refusal);

}  // namespace ombrix
