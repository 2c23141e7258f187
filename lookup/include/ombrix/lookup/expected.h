#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace ombrix::lookup {

// The failure half of an Expected, as std::unexpected is.
template <class E>
class Unexpected {
  public:
    explicit Unexpected(E error) : error_(std::move(error)) {}
    E& error() & { return error_; }
    E&& error() && { return std::move(error_); }

  private:
    E error_;
};

template <class E>
Unexpected(E) -> Unexpected<E>;

// A value or the reason there is none, in the shape of C++23's std::expected: expected
// failures travel as values inside the library, never as exceptions or out-parameters.
template <class T, class E>
class Expected {
  public:
    template <class U = T>
    requires std::is_constructible_v<T, U&&> Expected(U&& value)
        : state_(std::in_place_index<0>, std::forward<U>(value)) {}
    template <class G>
    Expected(Unexpected<G> failure) : state_(std::in_place_index<1>, std::move(failure).error()) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    E& error() & { return std::get<1>(state_); }
    const E& error() const& { return std::get<1>(state_); }
    E&& error() && { return std::get<1>(std::move(state_)); }

  private:
    std::variant<T, E> state_;
};

}  // namespace ombrix::lookup
