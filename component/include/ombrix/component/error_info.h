#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace component {

// A failure raised by a called object, as it reaches the caller.
struct ErrorInfo {
    std::int32_t number = 0;
    std::u16string source;
    std::u16string description;

    friend bool operator==(const ErrorInfo&, const ErrorInfo&) = default;
};

// Run-time error numbers that the component layer itself raises.
inline constexpr std::int32_t kErrInvalidArgument = 5;
inline constexpr std::int32_t kErrOverflow = 6;
inline constexpr std::int32_t kErrOutOfMemory = 7;
inline constexpr std::int32_t kErrTypeMismatch = 13;
inline constexpr std::int32_t kErrCannotLoadLibrary = 48;
inline constexpr std::int32_t kErrInternal = 51;
inline constexpr std::int32_t kErrFileAccess = 75;
inline constexpr std::int32_t kErrInvalidFileFormat = 321;
inline constexpr std::int32_t kErrPropertyReadOnly = 383;
inline constexpr std::int32_t kErrPropertyWriteOnly = 394;
inline constexpr std::int32_t kErrCannotCreateObject = 429;
inline constexpr std::int32_t kErrNoSuchMember = 438;
inline constexpr std::int32_t kErrWrongArgumentCount = 450;

// The source of errors that the layer raises about loading, creating and registering.
inline constexpr std::u16string_view kLayerSource = u"component";

// An error of the layer itself; `description` is UTF-8.
ErrorInfo layerError(std::int32_t number, std::string_view description);

}  // namespace component
