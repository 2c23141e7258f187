#pragma once

#include <exception>

#include "component/error_info.h"

namespace ombrix::sample {

// An error raised during one of the window's handlers. It abandons the handler's remaining
// steps and carries the number, source and description to whoever reports it.
class RaisedError : public std::exception {
  public:
    explicit RaisedError(component::ErrorInfo info) : info_(std::move(info)) {}

    const component::ErrorInfo& info() const { return info_; }
    const char* what() const noexcept override { return "error raised in a window handler"; }

  private:
    component::ErrorInfo info_;
};

// Source of the run-time errors that the program raises itself.
inline constexpr char16_t kProgramSource[] = u"OmbrixSample";

}  // namespace ombrix::sample
