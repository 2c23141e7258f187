#pragma once

#include <functional>

namespace ombrix {

// Runs `work` and returns once it has finished, rethrowing what it threw. Called on the GUI
// thread of a GUI application, the work runs on a thread of its own while this thread keeps
// serving the host's events: windows repaint and timers fire, the busy pointer shows, and
// input that the user makes meanwhile is dropped (see UserInputBlocker), so it cannot start
// anything once the call returns. The host may run code of its own during the wait, up to
// destroying its windows; the caller must guard against being called again meanwhile.
// Anywhere else (no GUI application, or another thread) the work simply runs here.
void runKeepingWindowsLive(const std::function<void()>& work);

}  // namespace ombrix
