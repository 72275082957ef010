#pragma once

// The error of every keyed decoding in the model: a value of the wrong kind, a missing key, a null where a
// value is required, or a value outside what its type allows. what() is the debug description.

#include <stdexcept>
#include <string>
#include <string_view>

namespace velquine {

class KeyedValue;

class DecodingError : public std::runtime_error {
public:
    enum class Kind { typeMismatch, valueNotFound, keyNotFound, dataCorrupted };

    DecodingError(Kind kind, const std::string& debugDescription)
        : std::runtime_error(debugDescription), kind_(kind) { }

    Kind kind() const { return kind_; }
    std::string debugDescription() const { return what(); }

    static DecodingError typeMismatch(std::string_view expected, const KeyedValue& found);
    static DecodingError valueNotFound(std::string_view expected);
    static DecodingError keyNotFound(std::string_view key);
    static DecodingError dataCorrupted(const std::string& debugDescription);

private:
    Kind kind_;
};

} // namespace velquine
