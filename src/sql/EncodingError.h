#pragma once

// The failure of turning a value into the setters of a statement (or into the JSON text of a nested
// value). No statement is built when it is thrown.

#include <any>
#include <stdexcept>
#include <string>
#include <utility>

namespace velquine::sql {

class EncodingError : public std::runtime_error {
public:
    enum class Kind { invalidValue };

    // A value the encoding cannot store; `value` is the offending value itself.
    static EncodingError invalidValue(std::any value, const std::string& description)
    {
        return EncodingError(Kind::invalidValue, std::move(value), description);
    }

    Kind kind() const noexcept { return kind_; }
    const std::any& value() const noexcept { return value_; }
    std::string description() const { return what(); }

private:
    EncodingError(Kind kind, std::any value, const std::string& description)
        : std::runtime_error(description), kind_(kind), value_(std::move(value))
    {
    }

    Kind kind_;
    std::any value_;
};

} // namespace velquine::sql
