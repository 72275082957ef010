#pragma once

// The text accumulator of the outline and OPML exporters and of the OPML importer's notes.

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/NumberText.h"

namespace velquine {

class StringBuilder {
public:
    explicit StringBuilder(std::string text = {}) : stringValue_(std::move(text)) { }

    const std::string& toString() const { return stringValue_; }
    // The number of user-perceived characters (not bytes).
    std::size_t length() const;

    StringBuilder& append(std::string_view text)
    {
        stringValue_ += text;
        return *this;
    }
    StringBuilder& append(const char* text) { return append(std::string_view(text)); }
    StringBuilder& append(const std::string& text) { return append(std::string_view(text)); }
    // The textual description of a number: integers in decimal, floating point as "1.0".
    template <typename T, std::enable_if_t<std::is_arithmetic_v<T>, int> = 0>
    void append(T value)
    {
        append(std::string_view(describe(value)));
    }

    StringBuilder& appendLine(std::string_view text)
    {
        stringValue_ += text;
        stringValue_ += '\n';
        return *this;
    }
    StringBuilder& appendLine(const char* text) { return appendLine(std::string_view(text)); }
    StringBuilder& appendLine(const std::string& text) { return appendLine(std::string_view(text)); }
    template <typename T, std::enable_if_t<std::is_arithmetic_v<T>, int> = 0>
    void appendLine(T value)
    {
        appendLine(std::string_view(describe(value)));
    }

    StringBuilder& clear()
    {
        stringValue_.clear();
        return *this;
    }

private:
    template <typename T>
    static std::string describe(T value)
    {
        if constexpr (std::is_same_v<T, bool>)
            return value ? "true" : "false";
        else if constexpr (std::is_floating_point_v<T>)
            return formatDouble(static_cast<double>(value));
        else
            return std::to_string(value);
    }

    std::string stringValue_;
};

inline StringBuilder& operator+=(StringBuilder& builder, std::string_view text)
{
    return builder.append(text);
}

template <typename T, std::enable_if_t<std::is_arithmetic_v<T>, int> = 0>
StringBuilder& operator+=(StringBuilder& builder, T value)
{
    builder.append(value);
    return builder;
}

// A new builder holding the left text followed by the right text.
inline StringBuilder operator+(const StringBuilder& left, const StringBuilder& right)
{
    return StringBuilder(left.toString() + right.toString());
}

} // namespace velquine
