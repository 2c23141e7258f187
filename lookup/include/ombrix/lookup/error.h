#pragma once

#include <string>
#include <utility>
#include <variant>

#include "ombrix/lookup/expected.h"

namespace ombrix::lookup {

// A failure as the host finally sees it: a number, the name of what raised it, and a
// sentence for a person. Numbers below 1000 are the run-time errors a dispatch host knows.
struct Error {
    int number = 0;
    std::string source;
    std::string description;

    friend bool operator==(const Error&, const Error&) = default;
};

inline constexpr int kInvalidArgument = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kQueryFailed = 20000;

// Source of the control's own error 20000.
inline constexpr const char* kQuerySource = "MXQuery";
// Source of run-time errors (5, 6, 9) raised by the lookup.
inline constexpr const char* kRuntimeSource = "Ombrix";

Error queryError(std::string description);
Error runtimeError(int number, std::string description);

// Until every part reports Faults, Expected<T> still means a value or a numbered Error, with
// the older interface below; Expected<T, E> is the std::expected shape.
template <class T, class E = Error>
class Expected;

template <class T>
class Expected<T, Error> {
  public:
    Expected(T value) : state_(std::move(value)) {}
    Expected(Error error) : state_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<T>(state_); }
    const T& value() const { return std::get<T>(state_); }
    const Error& error() const { return std::get<Error>(state_); }

  private:
    std::variant<T, Error> state_;
};

struct Done {};
using Status = Expected<Done>;
inline Status ok() {
    return Done{};
}

}  // namespace ombrix::lookup
