#pragma once

// One column assignment, the unit inserts and updates are written from: set(column, value).
// A non-optional column accepts only a non-optional value or expression; an optional column accepts
// both, and an absent value stores NULL.

#include "sql/Operators.h"

#include <optional>
#include <type_traits>

namespace velquine::sql {

struct Setter {
    Expression<void> column;
    Expression<void> value;

    // column " = " value, not in parentheses.
    Expression<void> expression() const { return join(" = ", {column, value}); }
};

inline Expression<void> toExpression(const Setter& setter)
{
    return setter.expression();
}

// column <- plain value (an optional column takes an optional value; absent is NULL)
template <class V>
    requires SQLValue<unwrap_t<V>>
Setter set(const Expression<V>& column, const std::type_identity_t<V>& value)
{
    return Setter{column, toExpression(value)};
}
// column <- expression of the same type
template <class V>
    requires SQLValue<unwrap_t<V>>
Setter set(const Expression<V>& column, const Expression<V>& value)
{
    return Setter{column, value};
}
// optional column <- expression of the non-optional type
template <SQLValue V> Setter set(const Expression<std::optional<V>>& column, const Expression<V>& value)
{
    return Setter{column, value};
}

// Compound assignments: the column gets the operator expression of itself and the value.
// Five shapes each, as for set(): V <- V-expression, V <- value, V? <- V-expression,
// V? <- V?-expression, V? <- value.
#define VQ_SQL_COMPOUND_ASSIGNMENT(NAME, OP, CONCEPT)                                                         \
    template <CONCEPT V> Setter NAME(const Expression<V>& column, const Expression<V>& value)                 \
    {                                                                                                         \
        return Setter{column, column OP value};                                                               \
    }                                                                                                         \
    template <CONCEPT V> Setter NAME(const Expression<V>& column, const std::type_identity_t<V>& value)       \
    {                                                                                                         \
        return Setter{column, column OP value};                                                               \
    }                                                                                                         \
    template <CONCEPT V> Setter NAME(const Expression<std::optional<V>>& column, const Expression<V>& value)   \
    {                                                                                                         \
        return Setter{column, column OP value};                                                               \
    }                                                                                                         \
    template <CONCEPT V>                                                                                      \
    Setter NAME(const Expression<std::optional<V>>& column, const Expression<std::optional<V>>& value)        \
    {                                                                                                         \
        return Setter{column, column OP value};                                                               \
    }                                                                                                         \
    template <CONCEPT V>                                                                                      \
    Setter NAME(const Expression<std::optional<V>>& column, const std::type_identity_t<V>& value)             \
    {                                                                                                         \
        return Setter{column, column OP value};                                                               \
    }

namespace detail {
template <class V> concept ConcatValue = std::same_as<V, std::string>;
}

// Text: column = (column || value)
VQ_SQL_COMPOUND_ASSIGNMENT(concatAssign, +, detail::ConcatValue)
VQ_SQL_COMPOUND_ASSIGNMENT(addAssign, +, NumberValue)
VQ_SQL_COMPOUND_ASSIGNMENT(subAssign, -, NumberValue)
VQ_SQL_COMPOUND_ASSIGNMENT(mulAssign, *, NumberValue)
VQ_SQL_COMPOUND_ASSIGNMENT(divAssign, /, NumberValue)
VQ_SQL_COMPOUND_ASSIGNMENT(modAssign, %, IntegerValue)
VQ_SQL_COMPOUND_ASSIGNMENT(shlAssign, <<, IntegerValue)
VQ_SQL_COMPOUND_ASSIGNMENT(shrAssign, >>, IntegerValue)
VQ_SQL_COMPOUND_ASSIGNMENT(andAssign, &, IntegerValue)
VQ_SQL_COMPOUND_ASSIGNMENT(orAssign, |, IntegerValue)
VQ_SQL_COMPOUND_ASSIGNMENT(xorAssign, ^, IntegerValue)

#undef VQ_SQL_COMPOUND_ASSIGNMENT

// column = (column + 1), with the 1 bound as a 64-bit integer.
template <class T>
    requires IntegerValue<unwrap_t<T>>
Setter increment(const Expression<T>& column)
{
    return Setter{column, infix(column, value(std::int64_t{1}), "+")};
}

// column = (column - 1)
template <class T>
    requires IntegerValue<unwrap_t<T>>
Setter decrement(const Expression<T>& column)
{
    return Setter{column, infix(column, value(std::int64_t{1}), "-")};
}

} // namespace velquine::sql
