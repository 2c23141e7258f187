#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace component {

// A value that crosses a dispatch call: empty, a 16- or 32-bit integer, a length-counted
// UTF-16 string, or a 16-bit integer passed by reference to the caller's own variable.
class Variant {
  public:
    enum class Type { Empty, Int16, Int32, String, Int16Ref };

    Variant() = default;
    Variant(std::int16_t v) : value_(v) {}
    Variant(std::int32_t v) : value_(v) {}
    Variant(std::u16string v) : value_(std::move(v)) {}
    Variant(const char16_t* v) : value_(std::u16string(v)) {}
    static Variant byRef(std::int16_t* target) { return Variant(Ref{target}); }

    Type type() const { return static_cast<Type>(value_.index()); }
    bool isEmpty() const { return type() == Type::Empty; }
    std::int16_t int16() const { return std::get<std::int16_t>(value_); }
    std::int32_t int32() const { return std::get<std::int32_t>(value_); }
    const std::u16string& string() const { return std::get<std::u16string>(value_); }
    std::int16_t* int16Ref() const { return std::get<Ref>(value_).target; }

    friend bool operator==(const Variant&, const Variant&) = default;

  private:
    struct Ref {
        std::int16_t* target;
        friend bool operator==(const Ref&, const Ref&) = default;
    };
    explicit Variant(Ref r) : value_(r) {}

    std::variant<std::monostate, std::int16_t, std::int32_t, std::u16string, Ref> value_;
};

}  // namespace component
