#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace ombrix::testing {

// An X server of the test's own (Xvfb), optionally with a window manager so that windows get
// their frames. Both are ended by PID when the object goes.
class VirtualDisplay {
  public:
    // Starts Xvfb on a display number it picks itself; nothing when it is not ready in time.
    static std::optional<VirtualDisplay> start(std::chrono::milliseconds timeout);

    VirtualDisplay(VirtualDisplay&& other) noexcept;
    VirtualDisplay& operator=(VirtualDisplay&&) = delete;
    ~VirtualDisplay();

    // ":N", for DISPLAY.
    const std::string& name() const { return name_; }
    // Starts openbox on the display with the given configuration file and waits until it
    // manages windows; false when it is not ready in time.
    bool startWindowManager(const std::string& configFile, std::chrono::milliseconds timeout);

  private:
    VirtualDisplay(pid_t server, std::string name) : server_(server), name_(std::move(name)) {}

    pid_t server_ = -1;
    pid_t windowManager_ = -1;
    std::string name_;
};

}  // namespace ombrix::testing
