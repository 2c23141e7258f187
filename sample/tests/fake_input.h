#pragma once

#include <QPoint>
#include <string>

struct xcb_connection_t;

namespace ombrix::sample::testing {

// Input as a user makes it: through the X server's test extension, on a connection of its
// own, so that it reaches the application by the same road as a real mouse.
class FakeInput {
  public:
    explicit FakeInput(const std::string& display);
    ~FakeInput();
    FakeInput(const FakeInput&) = delete;
    FakeInput& operator=(const FakeInput&) = delete;

    bool connected() const { return root_ != 0; }
    // Moves the pointer to a screen position and clicks the left button there; returns once
    // the X server has handled the click and sent its events on.
    void click(QPoint screenPosition);
    // Asks the window to close as the window manager does when the user presses its close
    // box; returns once the X server has sent the request on.
    void requestClose(unsigned long window);

  private:
    void roundTrip();

    xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
};

}  // namespace ombrix::sample::testing
