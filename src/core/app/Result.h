#pragma once
// What a step that can fail gives back: its value, or the text that says why it failed, never both.
// `return Failure{"why"};` converts to any Result; Result<void> carries only the outcome.
#include <optional>
#include <string>
#include <utility>

namespace orva {

struct Failure {
    std::string why;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : error_(std::move(failure.why)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    // "" when ok.
    const std::string& error() const { return error_; }

private:
    std::optional<T> value_;
    std::string error_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : ok_(false), error_(std::move(failure.why)) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& error() const { return error_; }

private:
    bool ok_ = true;
    std::string error_;
};

} // namespace orva
