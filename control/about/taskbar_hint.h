#pragma once

class QWidget;

namespace ombrix {

// Asks the window manager to leave `window` out of the taskbar. Call it before the window
// is first shown. Where the platform offers no such hint, nothing happens.
void leaveOutOfTaskbar(QWidget& window);

}  // namespace ombrix
