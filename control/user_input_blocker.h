#pragma once

#include <QObject>

#include "control/close_request_filter.h"

class QEvent;

namespace ombrix {

// While it lives, input that the window system delivers from the user to any window of the
// application is dropped: mouse, wheel, keyboard, touch, tablet, drag and drop, context menus
// and the window manager's close requests. Dropped means gone, not kept for later. Painting,
// timers and whatever the program sends itself (a close() of its own, say) still arrive.
class UserInputBlocker : public QObject {
  public:
    UserInputBlocker();
    ~UserInputBlocker() override;
    UserInputBlocker(const UserInputBlocker&) = delete;
    UserInputBlocker& operator=(const UserInputBlocker&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CloseRequestFilter closeRequests_;
};

}  // namespace ombrix
