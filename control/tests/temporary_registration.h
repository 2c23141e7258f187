#pragma once

#include <filesystem>
#include <string>

namespace ombrix::testing {

// Points the registration store (COMPONENT_REGISTRY) at a fresh temporary file and registers
// libombrix.so in it as an installer does: load the library, call its DllRegisterServer.
// The store and the variable go with the object; the library stays loaded.
class TemporaryRegistration {
  public:
    TemporaryRegistration();
    ~TemporaryRegistration();
    TemporaryRegistration(const TemporaryRegistration&) = delete;
    TemporaryRegistration& operator=(const TemporaryRegistration&) = delete;

    // Empty when registration worked, else what went wrong.
    const std::string& failure() const { return failure_; }
    // The loaded library's handle, for looking up its exports.
    void* library() const { return library_; }

  private:
    std::filesystem::path directory_;
    void* library_ = nullptr;
    std::string failure_;
};

}  // namespace ombrix::testing
