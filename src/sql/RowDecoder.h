#pragma once

// Reads a RowCodable value straight from a result row: each field from the column named by its key
// (quoted, so the same names the row encoder writes). Reads do not convert between storage classes:
// a field reads only the storage class its type is stored as (INTEGER for bool, int and
// std::int64_t; REAL for double and float; TEXT for texts, dates, UUIDs and JSON-stored values; BLOB
// for byte buffers), and anything else counts as no value.
//
// Required fields: a missing column throws QueryError noSuchColumn (ambiguousColumn when several
// joined tables have it); no value throws QueryError unexpectedNullValue, or DecodingError
// typeMismatch ("an unsupported type was found") for JSON-stored types. Optional fields: no value
// gives none; for plain types, byte buffers, dates and UUIDs a missing column gives none as well.

#include "sql/DecodingError.h"
#include "sql/Errors.h"
#include "sql/Row.h"
#include "sql/RowCoding.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

namespace velquine::sql {

// Reads the fields of one value from one row; the row must outlive the decoder.
class RowDecoder {
public:
    explicit RowDecoder(const Row& row) : row_(&row) {}
    // A decoder over a temporary row would outlive it.
    explicit RowDecoder(Row&&) = delete;

    const Row& row() const noexcept { return *row_; }

    // Whether the row has a column of exactly this name (no qualified match) holding a value.
    bool contains(std::string_view key) const;
    // The opposite of contains().
    bool decodeNil(std::string_view key) const { return !contains(key); }

    template <class V> V decode(std::string_view key) const
    {
        using T = std::remove_cvref_t<V>;
        const std::string name = quote(key);
        if constexpr (detail::UnsupportedInteger<T>) {
            throw DecodingError::typeMismatch(typeid(T), std::string("decoding an ")
                                                             + detail::unsupportedIntegerName<T>() + " is not supported");
        } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, bool> || std::is_floating_point_v<T>
                             || detail::StoredInteger<T> || detail::DataType<T> || std::is_same_v<T, Date>
                             || std::is_same_v<T, UUID>) {
            std::optional<T> value = plain<T>(name, lookup(name));
            if (!value)
                throw QueryError::unexpectedNullValue(name);
            return std::move(*value);
        } else {
            static_assert(JsonCodable<T>, "a field type needs a column form, a field list or a JsonCoding");
            const OptBinding* stored = lookup(name);
            const std::string* text = stored && *stored ? std::get_if<std::string>(&**stored) : nullptr;
            if (!text)
                throw DecodingError::typeMismatch(typeid(T), "an unsupported type was found");
            return fromJsonText<T>(*text);
        }
    }

    template <class V> std::optional<V> decodeIfPresent(std::string_view key) const
    {
        using T = std::remove_cvref_t<V>;
        const std::string name = quote(key);
        if constexpr (detail::UnsupportedInteger<T>) {
            if (!contains(key))
                return std::nullopt;
            return decode<T>(key);
        } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, bool> || std::is_floating_point_v<T>
                             || detail::StoredInteger<T> || detail::DataType<T> || std::is_same_v<T, Date>
                             || std::is_same_v<T, UUID>) {
            const OptBinding* stored = nullptr;
            try {
                stored = lookup(name);
            } catch (const QueryError&) {
                return std::nullopt;
            }
            return plain<T>(name, stored);
        } else {
            static_assert(JsonCodable<T>, "a field type needs a column form, a field list or a JsonCoding");
            const OptBinding* stored = lookup(name);
            const std::string* text = stored && *stored ? std::get_if<std::string>(&**stored) : nullptr;
            if (!text)
                return std::nullopt;
            return fromJsonText<T>(*text);
        }
    }

    // Every field of the value, in the order of its field list.
    template <RowCodable T> void decodeFields(T& value) const
    {
        forEachField<T>([&](const auto& f) {
            using M = typename std::remove_cvref_t<decltype(f)>::Member;
            if constexpr (is_optional_v<M>)
                value.*(f.member) = decodeIfPresent<typename M::value_type>(f.name);
            else
                value.*(f.member) = decode<M>(f.name);
        });
    }

private:
    // The stored value of a column (exact quoted name, else the one qualified name ending in it);
    // throws QueryError when there is no such column or several; null when the row is shorter.
    const OptBinding* lookup(const std::string& name) const;

    template <class S> static const S* as(const OptBinding* stored)
    {
        return stored && *stored ? std::get_if<S>(&**stored) : nullptr;
    }

    // The value of a plain type from its stored form; none for NULL, another storage class, or a
    // text that is no date or UUID.
    template <class T> static std::optional<T> plain(const std::string& name, const OptBinding* stored)
    {
        if constexpr (std::is_same_v<T, std::string>) {
            if (const auto* text = as<std::string>(stored))
                return *text;
        } else if constexpr (std::is_same_v<T, bool>) {
            if (const auto* number = as<std::int64_t>(stored))
                return *number != 0;
        } else if constexpr (std::is_floating_point_v<T>) {
            if (const auto* number = as<double>(stored))
                return static_cast<T>(*number);
        } else if constexpr (detail::StoredInteger<T>) {
            if (const auto* number = as<std::int64_t>(stored)) {
                if (!std::in_range<T>(*number))
                    throw DecodingError::dataCorrupted("the value " + std::to_string(*number) + " of column " + name
                                                       + " does not fit into the field's integer type");
                return static_cast<T>(*number);
            }
        } else if constexpr (std::is_same_v<T, Blob>) {
            if (const auto* blob = as<Blob>(stored))
                return *blob;
        } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
            if (const auto* blob = as<Blob>(stored))
                return blob->bytes;
        } else if constexpr (std::is_same_v<T, Date>) {
            if (const auto* text = as<std::string>(stored))
                return dateFormatter().parse(*text);
        } else if constexpr (std::is_same_v<T, UUID>) {
            if (const auto* text = as<std::string>(stored))
                return UUID::fromString(*text);
        }
        return std::nullopt;
    }

    template <class T> static T fromJsonText(const std::string& text)
    {
        if (!isValidUtf8(text))
            throw DecodingError::dataCorrupted("invalid utf8 data found");
        return JsonCoding<T>::fromJson(parseJson(text));
    }

    const Row* row_;
};

// A value of T read from the row.
template <RowCodable T>
    requires std::default_initializable<T>
T decode(const Row& row)
{
    T value{};
    RowDecoder(row).decodeFields(value);
    return value;
}

} // namespace velquine::sql
