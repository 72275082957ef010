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
    // Where inside a nested value the failure lies, as member names and [index] steps
    // ("history[1].when"); empty at the top. what() ends with " (coding path: ...)" when it is set.
    const std::string& codingPath() const noexcept { return codingPath_; }
    // The text without the coding path.
    const std::string& reason() const noexcept { return reason_; }
    std::string description() const { return what(); }

    // The same failure seen one level further out: `step` is a member name or "[index]".
    DecodingError nested(const std::string& step) const
    {
        std::string path = step;
        if (!codingPath_.empty() && codingPath_.front() != '[')
            path += '.';
        path += codingPath_;
        return DecodingError(kind_, type_, reason_, std::move(path));
    }

private:
    DecodingError(Kind kind, std::optional<std::type_index> type, const std::string& reason, std::string path = {})
        : std::runtime_error(path.empty() ? reason : reason + " (coding path: " + path + ")")
        , kind_(kind)
        , type_(type)
        , reason_(reason)
        , codingPath_(std::move(path))
    {
    }

    Kind kind_;
    std::optional<std::type_index> type_;
    std::string reason_;
    std::string codingPath_;
};

} // namespace velquine::sql
