#pragma once

namespace ombrix {

// Shows the library's About dialog: modeless, without an owner, and kept above other
// windows. The first call on a thread creates that thread's shared instance; a call while
// the dialog is open only brings it to the front and activates it, so there is never a
// second one. Returns at once.
void displayAboutBox();

}  // namespace ombrix
