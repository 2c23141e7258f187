#pragma once

#include <cstdint>
#include <string>

namespace component {

// A failure raised by a called object, as it reaches the caller.
struct ErrorInfo {
    std::int32_t number = 0;
    std::u16string source;
    std::u16string description;

    friend bool operator==(const ErrorInfo&, const ErrorInfo&) = default;
};

// Run-time error numbers that the dispatch machinery itself raises.
inline constexpr std::int32_t kErrOverflow = 6;
inline constexpr std::int32_t kErrTypeMismatch = 13;
inline constexpr std::int32_t kErrCannotLoadLibrary = 48;
inline constexpr std::int32_t kErrCannotCreateObject = 429;
inline constexpr std::int32_t kErrNoSuchMember = 438;
inline constexpr std::int32_t kErrWrongArgumentCount = 450;

}  // namespace component
