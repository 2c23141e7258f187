#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace ombrix {

// A numbered error as a host reports it: the number, the source that raised it and the
// description, all three as the control gave them (text in UTF-8). what() is the description.
class ControlError : public std::runtime_error {
  public:
    ControlError(std::int32_t number, std::string source, std::string description);

    std::int32_t number() const { return number_; }
    const std::string& source() const { return source_; }
    const std::string& description() const { return description_; }

  private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
};

}  // namespace ombrix
