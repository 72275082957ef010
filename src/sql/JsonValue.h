#pragma once

// A small JSON document model with a compact writer and a strict reader, used to store nested values
// as the text of one column.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/Utf8.h"

namespace velquine::sql {

// A JSON number kept as its literal text, so 64-bit integers (signed or not) and doubles come back
// exactly as they were written.
struct JsonNumber {
    std::string text;
    friend bool operator==(const JsonNumber&, const JsonNumber&) = default;
};

class JsonValue {
public:
    enum class Type { null, boolean, number, string, array, object };
    using Array = std::vector<JsonValue>;
    // Members in the order they were written or read.
    using Object = std::vector<std::pair<std::string, JsonValue>>;

    JsonValue() = default; // null
    explicit JsonValue(bool value) : storage_(value) {}
    explicit JsonValue(JsonNumber number) : storage_(std::move(number)) {}
    explicit JsonValue(std::string text) : storage_(std::move(text)) {}
    explicit JsonValue(Array array) : storage_(std::move(array)) {}
    explicit JsonValue(Object object) : storage_(std::move(object)) {}

    // Integral numbers are written exactly; a double in its shortest form that reads back the same.
    // Infinities and NaN have no JSON form: see isFinite before calling.
    static JsonValue integer(std::int64_t value);
    static JsonValue unsignedInteger(std::uint64_t value);
    static JsonValue real(double value);
    static JsonValue real(float value);

    Type type() const noexcept { return static_cast<Type>(storage_.index()); }
    bool isNull() const noexcept { return type() == Type::null; }

    // The content of the given kind, or null when the value is of another kind.
    const bool* boolean() const noexcept { return std::get_if<bool>(&storage_); }
    const JsonNumber* number() const noexcept { return std::get_if<JsonNumber>(&storage_); }
    const std::string* string() const noexcept { return std::get_if<std::string>(&storage_); }
    const Array* array() const noexcept { return std::get_if<Array>(&storage_); }
    const Object* object() const noexcept { return std::get_if<Object>(&storage_); }

    // The value of the last member with this key of an object; null when there is none or this is
    // no object.
    const JsonValue* member(std::string_view key) const noexcept;

    friend bool operator==(const JsonValue&, const JsonValue&) = default;

private:
    std::variant<std::monostate, bool, JsonNumber, std::string, Array, Object> storage_;
};

// The name of a kind as error texts use it: "null", "a boolean", "a number", ...
std::string describe(JsonValue::Type type);

// Compact JSON text: no blanks, members in order, strings with ", \ and control characters escaped
// and every other character (valid UTF-8 assumed) written as it is.
std::string writeJson(const JsonValue& value);

// Reads one JSON value (any kind at the top, surrounding white space allowed). Throws DecodingError
// dataCorrupted for text that is no JSON, holds invalid UTF-8, or nests deeper than 512 levels.
JsonValue parseJson(std::string_view text);

// Standard Base64 with padding, and its reverse (nullopt for anything that is not Base64).
std::string base64Encode(const std::vector<std::uint8_t>& bytes);
std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text);

} // namespace velquine::sql
