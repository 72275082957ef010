#pragma once

// Universally unique identifiers as column values, stored as their canonical text.

#include "sql/Value.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velquine::sql {

class UUID {
public:
    std::array<std::uint8_t, 16> bytes{};

    UUID() = default;
    explicit UUID(const std::array<std::uint8_t, 16>& bytes) : bytes(bytes) {}

    // 36 characters: upper-case hexadecimal with hyphens after the 8th, 12th, 16th and 20th digit.
    std::string uuidString() const;
    // Reads the canonical form (hexadecimal digits in either case); nullopt for anything else.
    static std::optional<UUID> fromString(std::string_view text);

    friend bool operator==(const UUID&, const UUID&) = default;
};

template <> struct ValueTraits<UUID> {
    using Datatype = std::string;
    static std::string declaredDatatype() { return "TEXT"; }
    // Throws ValueConversionError when the text is no UUID.
    static UUID fromDatatypeValue(const std::string& text)
    {
        if (auto uuid = UUID::fromString(text))
            return *uuid;
        throw ValueConversionError("not a UUID: " + text);
    }
    static std::string datatypeValue(const UUID& uuid) { return uuid.uuidString(); }
};

} // namespace velquine::sql
