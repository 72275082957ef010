#pragma once

// The value model of the SQL layer: what can be bound to a statement parameter or read from a column
// (Binding), and which C++ types can live in a typed column (ValueTraits / SQLValue).

#include "sql/Blob.h"

#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace velquine::sql {

// One of SQLite's four non-NULL storage classes: INTEGER, REAL, TEXT, BLOB.
using Binding = std::variant<std::int64_t, double, std::string, Blob>;
// A bound or stored value; nullopt is SQL NULL.
using OptBinding = std::optional<Binding>;

// ---- optional helpers ---------------------------------------------------------------------------

template <class T> struct is_optional : std::false_type {};
template <class T> struct is_optional<std::optional<T>> : std::true_type {};
template <class T> inline constexpr bool is_optional_v = is_optional<std::remove_cvref_t<T>>::value;

template <class T> struct unwrap { using type = T; };
template <class T> struct unwrap<std::optional<T>> { using type = T; };
// The wrapped type of an optional, or T itself.
template <class T> using unwrap_t = typename unwrap<std::remove_cvref_t<T>>::type;

// std::optional<T> when Opt is set, else T.
template <class T, bool Opt> using opt_if_t = std::conditional_t<Opt, std::optional<T>, T>;

// ---- storage types ------------------------------------------------------------------------------

template <class T>
concept BindingType = std::same_as<T, std::int64_t> || std::same_as<T, double> || std::same_as<T, std::string>
    || std::same_as<T, Blob>;

// The declared SQL type names of `int` and `bool`. Both start as "INTEGER" and may be replaced at run
// time; they are read each time a column definition or CAST needs them.
std::string& intDeclaredDatatype();
std::string& boolDeclaredDatatype();

// ---- value types --------------------------------------------------------------------------------

// ValueTraits<T> makes T usable as the value type of a typed column:
//   Datatype                 the storage form (one of the Binding alternatives)
//   declaredDatatype()       the SQL type name used in column definitions and CAST
//   fromDatatypeValue(d)     builds a T from its storage form
//   datatypeValue(v)         the storage form of v
template <class T> struct ValueTraits;

template <> struct ValueTraits<double> {
    using Datatype = double;
    static std::string declaredDatatype() { return "REAL"; }
    static double fromDatatypeValue(double d) { return d; }
    static double datatypeValue(double v) { return v; }
};

template <> struct ValueTraits<std::int64_t> {
    using Datatype = std::int64_t;
    static std::string declaredDatatype() { return "INTEGER"; }
    static std::int64_t fromDatatypeValue(std::int64_t d) { return d; }
    static std::int64_t datatypeValue(std::int64_t v) { return v; }
};

// A stored text that cannot be turned into the value type asked for (a text that is no date or no
// UUID).
class ValueConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A convenience value type; stored as a 64-bit integer. Reading a stored number that does not fit
// into an int throws std::out_of_range instead of silently wrapping.
template <> struct ValueTraits<int> {
    using Datatype = std::int64_t;
    static std::string declaredDatatype() { return intDeclaredDatatype(); }
    static int fromDatatypeValue(std::int64_t d)
    {
        if (d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
            throw std::out_of_range("integer value " + std::to_string(d) + " does not fit into int");
        return static_cast<int>(d);
    }
    static std::int64_t datatypeValue(int v) { return v; }
};

template <> struct ValueTraits<bool> {
    using Datatype = std::int64_t;
    static std::string declaredDatatype() { return boolDeclaredDatatype(); }
    static bool fromDatatypeValue(std::int64_t d) { return d != 0; }
    static std::int64_t datatypeValue(bool v) { return v ? 1 : 0; }
};

template <> struct ValueTraits<std::string> {
    using Datatype = std::string;
    static std::string declaredDatatype() { return "TEXT"; }
    static std::string fromDatatypeValue(const std::string& d) { return d; }
    static std::string datatypeValue(const std::string& v) { return v; }
};

template <> struct ValueTraits<Blob> {
    using Datatype = Blob;
    static std::string declaredDatatype() { return "BLOB"; }
    static Blob fromDatatypeValue(const Blob& d) { return d; }
    static Blob datatypeValue(const Blob& v) { return v; }
};

// A byte buffer, stored as a BLOB holding a copy of its bytes.
template <> struct ValueTraits<std::vector<std::uint8_t>> {
    using Datatype = Blob;
    static std::string declaredDatatype() { return "BLOB"; }
    static std::vector<std::uint8_t> fromDatatypeValue(const Blob& d) { return d.bytes; }
    static Blob datatypeValue(const std::vector<std::uint8_t>& v) { return Blob(v); }
};

// A type that can be the value type of a typed column.
template <class T>
concept SQLValue = requires { typename ValueTraits<T>::Datatype; }
    && BindingType<typename ValueTraits<T>::Datatype>
    && requires(const T& v, const typename ValueTraits<T>::Datatype& d) {
           { ValueTraits<T>::declaredDatatype() } -> std::convertible_to<std::string>;
           { ValueTraits<T>::fromDatatypeValue(d) } -> std::convertible_to<T>;
           { ValueTraits<T>::datatypeValue(v) } -> std::convertible_to<typename ValueTraits<T>::Datatype>;
       };

template <SQLValue T> using datatype_t = typename ValueTraits<T>::Datatype;

// A value type on which arithmetic is offered: its storage form is INTEGER or REAL.
template <class T>
concept NumberValue = SQLValue<T> && (std::same_as<datatype_t<T>, std::int64_t> || std::same_as<datatype_t<T>, double>);

// A value type on which the integer operators are offered: its storage form is INTEGER.
template <class T>
concept IntegerValue = SQLValue<T> && std::same_as<datatype_t<T>, std::int64_t>;

// T or std::optional<T> for a value type T.
template <class T>
concept SQLValueOrOptional = SQLValue<unwrap_t<T>> && (std::same_as<std::remove_cvref_t<T>, unwrap_t<T>>
                                                         || is_optional_v<T>);

// ---- conversions --------------------------------------------------------------------------------

// The storage form of a value, as a Binding.
template <SQLValue T> Binding toBinding(const T& value)
{
    return Binding(datatype_t<T>(ValueTraits<T>::datatypeValue(value)));
}

// The storage form of an optional value; nullopt stays NULL.
template <SQLValue T> OptBinding toBinding(const std::optional<T>& value)
{
    if (!value)
        return std::nullopt;
    return toBinding(*value);
}

// Reads a value of type V from a bound or stored value: nullopt when the value is NULL or is not of
// V's storage form (TEXT read as an integer, for instance); otherwise V built from it.
template <SQLValue V> std::optional<V> valueFromBinding(const OptBinding& binding)
{
    if (!binding)
        return std::nullopt;
    const auto* stored = std::get_if<datatype_t<V>>(&*binding);
    if (!stored)
        return std::nullopt;
    return ValueTraits<V>::fromDatatypeValue(*stored);
}

} // namespace velquine::sql
