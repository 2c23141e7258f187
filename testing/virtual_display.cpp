#include "testing/virtual_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace ombrix::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Starts a program with our environment, DISPLAY replaced when `display` is given.
pid_t spawn(std::vector<std::string> argv, const std::string& display = {}) {
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    std::string displayEntry = "DISPLAY=" + display;
    std::vector<char*> env;
    for (char** entry = environ; *entry; ++entry) {
        if (display.empty() || std::string_view(*entry).substr(0, 8) != "DISPLAY=") {
            env.push_back(*entry);
        }
    }
    if (!display.empty())
        env.push_back(displayEntry.data());
    env.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), env.data()) != 0)
        return -1;
    return pid;
}

// Asks the process to end, then insists if it is still there after a short while.
void end(pid_t pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < deadline) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Xvfb writes the display number it chose, then a newline, once it accepts clients.
std::optional<std::string> readDisplayNumber(int fd, std::chrono::milliseconds timeout) {
    std::string text;
    const auto deadline = Clock::now() + timeout;
    while (text.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left.count())) <= 0)
            return std::nullopt;
        char buffer[16];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return std::nullopt;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text.substr(0, text.find('\n'));
}

}  // namespace

std::optional<VirtualDisplay> VirtualDisplay::start(std::chrono::milliseconds timeout) {
    int ends[2];
    if (pipe(ends) != 0)
        return std::nullopt;
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    const pid_t server = spawn({"Xvfb", "-displayfd", std::to_string(ends[1]), "-screen", "0",
                                "640x480x24", "-nolisten", "tcp"});
    close(ends[1]);
    std::optional<std::string> number;
    if (server > 0)
        number = readDisplayNumber(ends[0], timeout);
    close(ends[0]);
    if (!number || number->empty()) {
        end(server);
        return std::nullopt;
    }
    return VirtualDisplay(server, ":" + *number);
}

VirtualDisplay::VirtualDisplay(VirtualDisplay&& other) noexcept
    : server_(std::exchange(other.server_, -1)),
      windowManager_(std::exchange(other.windowManager_, -1)),
      name_(std::move(other.name_)) {}

VirtualDisplay::~VirtualDisplay() {
    end(windowManager_);
    end(server_);
}

bool VirtualDisplay::startWindowManager(const std::string& configFile,
                                        std::chrono::milliseconds timeout) {
    if (windowManager_ > 0)
        return true;
    // Openbox runs the startup command once it has taken over the display.
    const auto ready = std::filesystem::temp_directory_path() /
                       ("ombrix-wm-ready-" + std::to_string(getpid()) + "-" + name_.substr(1));
    std::filesystem::remove(ready);
    windowManager_ = spawn({"openbox", "--sm-disable", "--config-file", configFile, "--startup",
                            "touch " + ready.string()},
                           name_);
    if (windowManager_ <= 0)
        return false;
    const auto deadline = Clock::now() + timeout;
    while (!std::filesystem::exists(ready)) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::filesystem::remove(ready);
    return true;
}

}  // namespace ombrix::testing
