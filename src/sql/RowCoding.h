#pragma once

// How a type takes part in row coding: it lists its fields once, each as a column name and a member
// pointer, and the row encoder, the row decoder and the JSON form of nested values all work from that
// list.
//
//     struct Person {
//         std::int64_t id = 0;
//         std::string name;
//         std::optional<Address> address;      // stored as JSON text
//         static auto rowFields()
//         {
//             return std::tuple{sql::field("id", &Person::id), sql::field("name", &Person::name),
//                               sql::field("address", &Person::address)};
//         }
//     };
//
// A type that cannot be changed specialises RowFields instead. A type whose stored form is not a list
// of fields (an enumeration stored as its text, for instance) specialises JsonCoding.

#include "sql/Blob.h"
#include "sql/DateFormatter.h"
#include "sql/DecodingError.h"
#include "sql/EncodingError.h"
#include "sql/JsonValue.h"
#include "sql/UUID.h"
#include "sql/Value.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

namespace velquine::sql {

// One field of a coded type: its key (the column name, or the member name in JSON) and its member.
template <class T, class M> struct Field {
    using Owner = T;
    using Member = M;

    std::string_view name;
    M T::*member;
    // An absent optional is written as an explicit NULL (JSON null) instead of being left out.
    bool nullWhenAbsent = false;

    constexpr Field writingNullWhenAbsent() const
    {
        Field copy = *this;
        copy.nullWhenAbsent = true;
        return copy;
    }
};

template <class T, class M> constexpr Field<T, M> field(std::string_view name, M T::*member)
{
    return Field<T, M>{name, member, false};
}

// The field list of T: by default T::rowFields(), a tuple of Fields in the order the columns are written.
template <class T> struct RowFields {
};
template <class T>
    requires requires { T::rowFields(); }
struct RowFields<T> {
    static auto fields() { return T::rowFields(); }
};

template <class T>
concept RowCodable = std::is_class_v<T> && requires { RowFields<T>::fields(); };

// Calls f(field) for each field of T, in order.
template <RowCodable T, class F> void forEachField(F&& f)
{
    std::apply([&](const auto&... fields) { (f(fields), ...); }, RowFields<T>::fields());
}

// ---- integer widths ------------------------------------------------------------------------------

namespace detail {

// `int` is the platform integer and `std::int64_t` the 64-bit one; both are stored. Every other
// integer width has no column form of its own and is refused by name.
template <class T> constexpr const char* unsupportedIntegerName()
{
    if constexpr (!std::is_integral_v<T> || std::is_same_v<T, bool> || std::is_same_v<T, int>) {
        return nullptr;
    } else if constexpr (std::is_same_v<T, char> || (std::is_signed_v<T> && sizeof(T) == 1)) {
        return "Int8";
    } else if constexpr (std::is_signed_v<T>) {
        if constexpr (sizeof(T) == 2)
            return "Int16";
        else if constexpr (sizeof(T) == 4)
            return "Int32";
        else if constexpr (sizeof(T) == 8)
            return nullptr;
        else
            return "Int128";
    } else if constexpr (sizeof(T) == 1) {
        return "UInt8";
    } else if constexpr (sizeof(T) == 2) {
        return "UInt16";
    } else if constexpr (sizeof(T) == 4) {
        return "UInt32";
    } else if constexpr (std::is_same_v<T, std::uint64_t>) {
        return "UInt64";
    } else if constexpr (sizeof(T) == 8) {
        return "UInt";
    } else {
        return "UInt128";
    }
}

template <class T>
concept StoredInteger = std::is_integral_v<T> && !std::is_same_v<T, bool> && unsupportedIntegerName<T>() == nullptr;

template <class T>
concept UnsupportedInteger = std::is_integral_v<T> && unsupportedIntegerName<T>() != nullptr;

template <class T>
concept DataType = std::is_same_v<T, std::vector<std::uint8_t>> || std::is_same_v<T, Blob>;

template <class T> struct is_vector : std::false_type {};
template <class T, class A> struct is_vector<std::vector<T, A>> : std::true_type {};

template <class T> struct is_string_map : std::false_type {};
template <class V, class C, class A> struct is_string_map<std::map<std::string, V, C, A>> : std::true_type {};

// The seconds between 1970-01-01 and 2001-01-01, the reference date of dates inside JSON.
inline constexpr std::int64_t referenceDateOffset = 978307200;

[[noreturn]] inline void jsonTypeMismatch(const std::type_info& type, const char* expected, const JsonValue& found)
{
    if (found.isNull())
        throw DecodingError::valueNotFound(type, std::string("expected ") + expected + " but found null");
    throw DecodingError::typeMismatch(type, std::string("expected ") + expected + " but found "
                                                + describe(found.type()));
}

template <class I> I jsonInteger(const JsonValue& json)
{
    const JsonNumber* number = json.number();
    if (!number)
        jsonTypeMismatch(typeid(I), "a number", json);
    const std::string& text = number->text;
    I value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size())
        return value;
    // Integral values written with a fraction or an exponent (3.0, 1e3) are accepted when exact.
    double real = 0;
    auto [realEnd, realError] = std::from_chars(text.data(), text.data() + text.size(), real);
    if (realError == std::errc() && realEnd == text.data() + text.size() && std::trunc(real) == real
        && real >= static_cast<double>(std::numeric_limits<I>::min())
        && real < static_cast<double>(std::numeric_limits<I>::max()))
        return static_cast<I>(real);
    throw DecodingError::dataCorrupted("the JSON number " + text + " does not fit into the requested integer type");
}

template <class F> F jsonReal(const JsonValue& json)
{
    const JsonNumber* number = json.number();
    if (!number)
        jsonTypeMismatch(typeid(F), "a number", json);
    const std::string& text = number->text;
    F value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size())
        return value;
    throw DecodingError::dataCorrupted("the JSON number " + text + " does not fit into the requested number type");
}

} // namespace detail

// ---- JSON form of nested values -------------------------------------------------------------------

// JsonCoding<T>::toJson(value) and JsonCoding<T>::fromJson(json) give a value's JSON form and back.
// Provided for booleans, integers of every width, floating-point numbers, texts, byte buffers (Base64
// text), dates (seconds since 2001-01-01 as a number), UUIDs (their text), optionals (null when
// absent), vectors (arrays), maps keyed by text (objects) and every RowCodable type (an object of
// its fields; absent optionals are left out). Specialise it for other types.
template <class T, class Enable = void> struct JsonCoding;

template <class T>
concept JsonCodable = requires(const T& value, const JsonValue& json) {
    { JsonCoding<T>::toJson(value) } -> std::same_as<JsonValue>;
    { JsonCoding<T>::fromJson(json) } -> std::convertible_to<T>;
};

template <> struct JsonCoding<bool> {
    static JsonValue toJson(bool value) { return JsonValue(value); }
    static bool fromJson(const JsonValue& json)
    {
        if (const bool* value = json.boolean())
            return *value;
        detail::jsonTypeMismatch(typeid(bool), "a boolean", json);
    }
};

template <class T>
struct JsonCoding<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> && sizeof(T) <= 8>> {
    static JsonValue toJson(T value)
    {
        if constexpr (std::is_signed_v<T>)
            return JsonValue::integer(static_cast<std::int64_t>(value));
        else
            return JsonValue::unsignedInteger(static_cast<std::uint64_t>(value));
    }
    static T fromJson(const JsonValue& json) { return detail::jsonInteger<T>(json); }
};

template <class T> struct JsonCoding<T, std::enable_if_t<std::is_floating_point_v<T>>> {
    static JsonValue toJson(T value)
    {
        if (!std::isfinite(value))
            throw EncodingError::invalidValue(value, "a number that is not finite has no JSON form");
        if constexpr (std::is_same_v<T, float>)
            return JsonValue::real(value);
        else
            return JsonValue::real(static_cast<double>(value));
    }
    static T fromJson(const JsonValue& json)
    {
        if constexpr (std::is_same_v<T, float>)
            return detail::jsonReal<float>(json);
        else
            return static_cast<T>(detail::jsonReal<double>(json));
    }
};

template <> struct JsonCoding<std::string> {
    static JsonValue toJson(const std::string& value)
    {
        if (!isValidUtf8(value))
            throw EncodingError::invalidValue(value, "a text that is not valid UTF-8 has no JSON form");
        return JsonValue(value);
    }
    static std::string fromJson(const JsonValue& json)
    {
        if (const std::string* text = json.string())
            return *text;
        detail::jsonTypeMismatch(typeid(std::string), "a string", json);
    }
};

template <class T> struct JsonCoding<T, std::enable_if_t<detail::DataType<T>>> {
    static JsonValue toJson(const T& value)
    {
        if constexpr (std::is_same_v<T, Blob>)
            return JsonValue(base64Encode(value.bytes));
        else
            return JsonValue(base64Encode(value));
    }
    static T fromJson(const JsonValue& json)
    {
        const std::string* text = json.string();
        if (!text)
            detail::jsonTypeMismatch(typeid(T), "a Base64 string", json);
        auto bytes = base64Decode(*text);
        if (!bytes)
            throw DecodingError::dataCorrupted("the JSON string is not valid Base64");
        return T(std::move(*bytes));
    }
};

template <> struct JsonCoding<Date> {
    static JsonValue toJson(Date date)
    {
        using namespace std::chrono;
        const auto sinceReference = date.time_since_epoch() - seconds(detail::referenceDateOffset);
        return JsonCoding<double>::toJson(duration<double>(sinceReference).count());
    }
    // Read to the microsecond.
    static Date fromJson(const JsonValue& json)
    {
        using namespace std::chrono;
        const double micros = detail::jsonReal<double>(json) * 1e6;
        // Nanosecond time points reach about 292 years either side of 1970.
        if (!std::isfinite(micros) || std::fabs(micros + static_cast<double>(detail::referenceDateOffset) * 1e6) > 9.2e15)
            throw DecodingError::dataCorrupted("the JSON number is no date in the supported range");
        return Date(duration_cast<Date::duration>(seconds(detail::referenceDateOffset)
                                                  + microseconds(std::llround(micros))));
    }
};

template <> struct JsonCoding<UUID> {
    static JsonValue toJson(const UUID& uuid) { return JsonValue(uuid.uuidString()); }
    static UUID fromJson(const JsonValue& json)
    {
        const std::string* text = json.string();
        if (!text)
            detail::jsonTypeMismatch(typeid(UUID), "a UUID string", json);
        if (auto uuid = UUID::fromString(*text))
            return *uuid;
        throw DecodingError::dataCorrupted("the JSON string is not a UUID: " + *text);
    }
};

template <class T> struct JsonCoding<std::optional<T>> {
    static JsonValue toJson(const std::optional<T>& value)
    {
        return value ? JsonCoding<T>::toJson(*value) : JsonValue();
    }
    static std::optional<T> fromJson(const JsonValue& json)
    {
        if (json.isNull())
            return std::nullopt;
        return JsonCoding<T>::fromJson(json);
    }
};

template <class T>
struct JsonCoding<T, std::enable_if_t<detail::is_vector<T>::value && !detail::DataType<T>>> {
    using Element = typename T::value_type;
    static JsonValue toJson(const T& values)
    {
        JsonValue::Array array;
        array.reserve(values.size());
        for (const auto& value : values)
            array.push_back(JsonCoding<Element>::toJson(value));
        return JsonValue(std::move(array));
    }
    static T fromJson(const JsonValue& json)
    {
        const JsonValue::Array* array = json.array();
        if (!array)
            detail::jsonTypeMismatch(typeid(T), "an array", json);
        T values;
        values.reserve(array->size());
        for (std::size_t i = 0; i < array->size(); ++i) {
            try {
                values.push_back(JsonCoding<Element>::fromJson((*array)[i]));
            } catch (const DecodingError& error) {
                throw error.nested("[" + std::to_string(i) + "]");
            }
        }
        return values;
    }
};

template <class T> struct JsonCoding<T, std::enable_if_t<detail::is_string_map<T>::value>> {
    using Mapped = typename T::mapped_type;
    static JsonValue toJson(const T& values)
    {
        JsonValue::Object object;
        object.reserve(values.size());
        for (const auto& [key, value] : values) {
            if (!isValidUtf8(key))
                throw EncodingError::invalidValue(key, "a text that is not valid UTF-8 has no JSON form");
            object.emplace_back(key, JsonCoding<Mapped>::toJson(value));
        }
        return JsonValue(std::move(object));
    }
    static T fromJson(const JsonValue& json)
    {
        const JsonValue::Object* object = json.object();
        if (!object)
            detail::jsonTypeMismatch(typeid(T), "an object", json);
        T values;
        for (const auto& [key, value] : *object) {
            try {
                values.insert_or_assign(key, JsonCoding<Mapped>::fromJson(value));
            } catch (const DecodingError& error) {
                throw error.nested(key);
            }
        }
        return values;
    }
};

template <class T> struct JsonCoding<T, std::enable_if_t<RowCodable<T>>> {
    static JsonValue toJson(const T& value)
    {
        JsonValue::Object object;
        forEachField<T>([&](const auto& f) {
            using M = typename std::remove_cvref_t<decltype(f)>::Member;
            const M& member = value.*(f.member);
            if constexpr (is_optional_v<M>) {
                if (!member && !f.nullWhenAbsent)
                    return;
            }
            object.emplace_back(std::string(f.name), JsonCoding<M>::toJson(member));
        });
        return JsonValue(std::move(object));
    }
    // Missing members fail for required fields and give none for optional ones.
    static T fromJson(const JsonValue& json)
    {
        if (!json.object())
            detail::jsonTypeMismatch(typeid(T), "an object", json);
        T value{};
        forEachField<T>([&](const auto& f) {
            using M = typename std::remove_cvref_t<decltype(f)>::Member;
            const JsonValue* member = json.member(f.name);
            if (!member) {
                if constexpr (is_optional_v<M>) {
                    value.*(f.member) = std::nullopt;
                    return;
                } else {
                    throw DecodingError::keyNotFound("no value for the key \"" + std::string(f.name) + "\"");
                }
            }
            try {
                value.*(f.member) = JsonCoding<M>::fromJson(*member);
            } catch (const DecodingError& error) {
                throw error.nested(std::string(f.name));
            }
        });
        return value;
    }
};

} // namespace velquine::sql
