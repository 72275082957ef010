#pragma once

// Writes table rows straight from values: a RowCodable value becomes one setter per field (the column
// named by the field's key, quoted), and insert, insertRows, upsert and update build the statements
// from those setters. Nothing is run; the statements go to Connection::run like any other.
//
// How a field is stored: bool as INTEGER 1 or 0; std::string as TEXT; double and float as REAL; int
// and std::int64_t as INTEGER; byte buffers and Blob as BLOB; Date as its UTC text
// ("2021-01-01T00:00:00.000"); UUID as its text; every other type (nested RowCodable values, vectors,
// maps, types with a JsonCoding) as its compact JSON text. Other integer widths fail with
// EncodingError ("encoding an Int8 is not supported"). An absent optional writes no setter, unless
// the field asks for an explicit NULL or the rows of a multi-row insert need equal column lists.

#include "sql/EncodingError.h"
#include "sql/Query.h"
#include "sql/RowCoding.h"
#include "sql/Setter.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace velquine::sql {

// Collects the setters of one value in one pass. Each call appends exactly one setter or none, in
// call order; a key given twice gives two setters for the same column.
class RowEncoder {
public:
    // When forcing, an absent optional writes an explicit NULL instead of nothing.
    explicit RowEncoder(bool forcingNilValueSetters = false) : forcingNilValueSetters_(forcingNilValueSetters) {}

    bool forcingNilValueSetters() const noexcept { return forcingNilValueSetters_; }
    const std::vector<Setter>& setters() const noexcept { return setters_; }
    std::vector<Setter> takeSetters() { return std::move(setters_); }

    // The column of a key: the key in double quotes, inner double quotes doubled.
    static Expression<void> column(std::string_view key) { return Expression<void>(quote(key), {}); }

    // Appends `column = NULL`, whatever the forcing flag says.
    void encodeNil(std::string_view key);

    template <class V> void encode(std::string_view key, const V& value)
    {
        using T = std::remove_cvref_t<V>;
        if constexpr (std::is_same_v<T, bool>) {
            append(key, toBinding(value));
        } else if constexpr (std::is_same_v<T, std::string>) {
            append(key, Binding(value));
        } else if constexpr (std::is_floating_point_v<T>) {
            append(key, Binding(static_cast<double>(value)));
        } else if constexpr (detail::UnsupportedInteger<T>) {
            throw EncodingError::invalidValue(value, std::string("encoding an ") + detail::unsupportedIntegerName<T>()
                                                         + " is not supported");
        } else if constexpr (detail::StoredInteger<T>) {
            append(key, Binding(static_cast<std::int64_t>(value)));
        } else if constexpr (std::is_same_v<T, Blob>) {
            append(key, Binding(value));
        } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
            append(key, Binding(Blob(value)));
        } else if constexpr (std::is_same_v<T, Date>) {
            append(key, Binding(dateFormatter().format(value)));
        } else if constexpr (std::is_same_v<T, UUID>) {
            append(key, Binding(value.uuidString()));
        } else if constexpr (is_optional_v<T>) {
            encodeIfPresent(key, value);
        } else {
            static_assert(JsonCodable<T>, "a field type needs a column form, a field list or a JsonCoding");
            append(key, Binding(writeJson(JsonCoding<T>::toJson(value))));
        }
    }

    // Present: as encode(). Absent: NULL when forcing, otherwise nothing.
    template <class V> void encodeIfPresent(std::string_view key, const std::optional<V>& value)
    {
        if (value)
            encode(key, *value);
        else if (forcingNilValueSetters_)
            encodeNil(key);
    }

    // Every field of the value, in the order of its field list.
    template <RowCodable T> void encodeFields(const T& value)
    {
        forEachField<T>([&](const auto& f) {
            using M = typename std::remove_cvref_t<decltype(f)>::Member;
            const M& member = value.*(f.member);
            if constexpr (is_optional_v<M>) {
                if (!member && f.nullWhenAbsent) {
                    encodeNil(f.name);
                    return;
                }
            }
            encode(f.name, member);
        });
    }

private:
    void append(std::string_view key, OptBinding binding);

    std::vector<Setter> setters_;
    bool forcingNilValueSetters_;
};

// The setters of one value followed by the additional ones.
template <RowCodable T>
std::vector<Setter> encodeSetters(const T& value, const std::vector<Setter>& additionalSetters = {},
                                  bool forcingNilValueSetters = false)
{
    RowEncoder encoder(forcingNilValueSetters);
    encoder.encodeFields(value);
    std::vector<Setter> setters = encoder.takeSetters();
    setters.insert(setters.end(), additionalSetters.begin(), additionalSetters.end());
    return setters;
}

namespace detail {

// The rows of a multi-row insert, all naming the same columns in the same order. Each row is encoded
// once (encodeRow(index, false)); when their column lists differ, every row is encoded again with
// explicit NULLs for absent optionals (encodeRow(index, true)). Throws EncodingError when the lists
// still differ, so that no value is written under another row's column.
std::vector<std::vector<Setter>>
rowsWithSameColumns(std::size_t count, const std::function<std::vector<Setter>(std::size_t, bool)>& encodeRow);

} // namespace detail

// INSERT INTO t (columns) VALUES (values)
template <class D, RowCodable T>
Insert insert(const QueryBase<D>& query, const T& value, const std::vector<Setter>& additionalSetters = {})
{
    return query.insert(encodeSetters(value, additionalSetters));
}

// INSERT OR <conflict> INTO t (columns) VALUES (values)
template <class D, RowCodable T>
Insert insert(const QueryBase<D>& query, OnConflict conflict, const T& value,
              const std::vector<Setter>& additionalSetters = {})
{
    return query.insert(conflict, encodeSetters(value, additionalSetters));
}

// One INSERT of one row per value, the additional setters repeated in each; no values gives
// INSERT INTO t DEFAULT VALUES.
template <class D, RowCodable T>
Insert insertRows(const QueryBase<D>& query, const std::vector<T>& values,
                  const std::vector<Setter>& additionalSetters = {})
{
    return query.insertMany(detail::rowsWithSameColumns(values.size(), [&](std::size_t index, bool forcing) {
        return encodeSetters(values[index], additionalSetters, forcing);
    }));
}

// INSERT ... ON CONFLICT (target) DO UPDATE SET each column other than the target = excluded.column
template <class D, RowCodable T, Expressible E>
Insert upsert(const QueryBase<D>& query, const T& value, const E& conflictTarget,
              const std::vector<Setter>& additionalSetters = {})
{
    return query.upsert(encodeSetters(value, additionalSetters), toExpression(conflictTarget));
}

// UPDATE t SET column = value, ... for the rows the query selects.
template <class D, RowCodable T>
Update update(const QueryBase<D>& query, const T& value, const std::vector<Setter>& additionalSetters = {})
{
    return query.update(encodeSetters(value, additionalSetters));
}

} // namespace velquine::sql
