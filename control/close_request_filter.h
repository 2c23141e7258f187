#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>

namespace ombrix {

// While it lives, the window manager's requests to close a window (the close box, Alt+F4)
// are dropped before Qt turns them into close events, which look the same as a close() that
// the program makes itself. Its pings still get their answers, so the window never counts
// as hung. Does nothing where the application does not run on X11.
class CloseRequestFilter : public QAbstractNativeEventFilter {
  public:
    CloseRequestFilter();
    ~CloseRequestFilter() override;
    CloseRequestFilter(const CloseRequestFilter&) = delete;
    CloseRequestFilter& operator=(const CloseRequestFilter&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    std::uint32_t protocols_ = 0;
    std::uint32_t deleteWindow_ = 0;
};

}  // namespace ombrix
