#include "control/control_errors.h"

namespace ombrix {

component::ErrorInfo controlBusyError() {
    return {kErrControlBusy, u"mxquery",
            u"The control is still waiting for the reply to a query and takes no other call "
            u"until MXQuery returns"};
}

component::ErrorInfo aboutRefusedError(AboutRefusal refusal) {
    switch (refusal) {
        case AboutRefusal::noGuiApplication:
            return {kErrNeedsGuiApplication, u"DisplayAboutBox",
                    u"The About dialog needs a GUI application: the host has created no "
                    u"QApplication"};
        case AboutRefusal::notGuiThread:
            break;
    }
    return {kErrNeedsGuiApplication, u"DisplayAboutBox",
            u"The About dialog can only be shown from the host's GUI thread"};
}

}  // namespace ombrix
