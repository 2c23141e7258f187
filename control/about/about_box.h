#pragma once

#include <optional>

namespace ombrix {

// Why the About dialog cannot be shown where it was asked for: windows exist only in a GUI
// application, and only on its GUI thread.
enum class AboutRefusal { noGuiApplication, notGuiThread };

// Shows the library's About dialog: modeless, without an owner, and kept above other
// windows. The first call creates the shared instance; a call while the dialog is open only
// brings it to the front and activates it, so there is never a second one. Returns at once.
// Without a QApplication, or off its thread, shows nothing and says why.
std::optional<AboutRefusal> displayAboutBox();

}  // namespace ombrix
