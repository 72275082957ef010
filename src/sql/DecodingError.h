#pragma once

// The failure of building a value from a row (or from the JSON text of a nested value).

#include <optional>
#include <stdexcept>
#include <string>
#include <typeindex>
#include <typeinfo>

namespace velquine::sql {

class DecodingError : public std::runtime_error {
public:
    enum class Kind {
        typeMismatch,  // the stored value cannot be read as the requested type
        valueNotFound, // a null where a value is required
        keyNotFound,   // a required member is missing from a JSON object
        dataCorrupted  // the data itself is unusable (not JSON, not UTF-8, out of range)
    };

    static DecodingError typeMismatch(const std::type_info& type, const std::string& description)
    {
        return DecodingError(Kind::typeMismatch, std::type_index(type), description);
    }
    static DecodingError valueNotFound(const std::type_info& type, const std::string& description)
    {
        return DecodingError(Kind::valueNotFound, std::type_index(type), description);
    }
    static DecodingError keyNotFound(const std::string& description)
    {
        return DecodingError(Kind::keyNotFound, std::nullopt, description);
    }
    static DecodingError dataCorrupted(const std::string& description)
    {
        return DecodingError(Kind::dataCorrupted, std::nullopt, description);
    }

    Kind kind() const noexcept { return kind_; }
    // The type that was asked for (type mismatches and missing values only).
    const std::optional<std::type_index>& type() const noexcept { return type_; }
    std::string description() const { return what(); }

private:
    DecodingError(Kind kind, std::optional<std::type_index> type, const std::string& description)
        : std::runtime_error(description), kind_(kind), type_(type)
    {
    }

    Kind kind_;
    std::optional<std::type_index> type_;
};

} // namespace velquine::sql
