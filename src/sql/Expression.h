#pragma once

// A fragment of SQL as a template with one "?" per bound value, plus the ordered values for those "?".
// Typed expressions (Expression<V>, Expression<std::optional<V>>) carry the value type they yield;
// Expression<void> is the untyped fragment every typed expression converts to.

#include "sql/Value.h"

#include <concepts>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace velquine::sql {

template <class T = void> struct Expression;

// Encloses `text` in `mark` and doubles every `mark` byte inside it. Works on bytes, so a mark followed
// by a combining character is still doubled (the SQL tokenizer sees bytes, not characters).
std::string quote(std::string_view text, char mark = '"');
// The same, appended to `out`.
void appendQuoted(std::string& out, std::string_view text, char mark = '"');

// The SQL text of an expression with each parameter replaced by its value written as an SQL literal
// (NULL, 'text', x'hex', numbers). A "?" inside a quoted name or string literal is not a parameter,
// and a "?" beyond the last value is left as it is.
std::string sqlWithInlinedBindings(const Expression<void>& expression);

// The SQL literal of one value, as used by sqlWithInlinedBindings.
std::string inlineLiteral(const OptBinding& binding);

template <class T> struct Expression {
    using UnderlyingType = T;

    std::string templ;
    std::vector<OptBinding> bindings;

    Expression() = default;
    // A raw template and its values.
    Expression(std::string templ, std::vector<OptBinding> bindings)
        : templ(std::move(templ)), bindings(std::move(bindings))
    {
    }
    // A column or other identifier: the name in double quotes.
    explicit Expression(std::string_view identifier) : templ(quote(identifier)) {}
    explicit Expression(const char* identifier) : Expression(std::string_view(identifier)) {}
    explicit Expression(const std::string& identifier) : Expression(std::string_view(identifier)) {}

    // Every typed expression is also an untyped fragment.
    template <class U>
        requires(std::is_void_v<T> && !std::is_void_v<U>)
    Expression(const Expression<U>& typed) : templ(typed.templ), bindings(typed.bindings)
    {
    }

    // SQL used unchanged, with no values.
    static Expression literal(std::string sql) { return Expression(std::move(sql), {}); }

    Expression<void> expression() const { return Expression<void>(templ, bindings); }
    std::string description() const { return sqlWithInlinedBindings(expression()); }
};

// The same template and values, yielding another type.
template <class U, class T> Expression<U> retype(const Expression<T>& e)
{
    return Expression<U>(e.templ, e.bindings);
}

inline Expression<void> literal(std::string sql)
{
    return Expression<void>::literal(std::move(sql));
}

// "?" with one binding.
Expression<void> parameter(OptBinding binding);

// "?" with the storage form of the value as its one binding.
template <SQLValue V> Expression<V> value(const V& v)
{
    return retype<V>(parameter(toBinding(v)));
}
// "?" with the value's storage form, or with NULL when absent.
template <SQLValue V> Expression<std::optional<V>> value(const std::optional<V>& v)
{
    return retype<std::optional<V>>(parameter(toBinding(v)));
}
inline Expression<std::string> value(const char* v)
{
    return value(std::string(v));
}

// The star: "*" where a column list is expected selects all columns.
struct Star {
};
inline constexpr Star star{};

// ---- Expressible: anything that has an untyped expression ---------------------------------------

template <class T> Expression<void> toExpression(const Expression<T>& e)
{
    return Expression<void>(e.templ, e.bindings);
}
template <SQLValue V> Expression<void> toExpression(const V& v)
{
    return parameter(toBinding(v));
}
template <SQLValue V> Expression<void> toExpression(const std::optional<V>& v)
{
    return parameter(toBinding(v));
}
inline Expression<void> toExpression(Star)
{
    return Expression<void>::literal("*");
}

template <class T>
concept Expressible = requires(const T& x) {
    { toExpression(x) } -> std::same_as<Expression<void>>;
};

template <Expressible E>
    requires(!std::same_as<std::remove_cvref_t<E>, Expression<void>>)
std::string sqlWithInlinedBindings(const E& e)
{
    return sqlWithInlinedBindings(toExpression(e));
}

// ---- text operations ----------------------------------------------------------------------------

// The templates joined with `separator`, the bindings concatenated in order.
Expression<void> join(std::string_view separator, const std::vector<Expression<void>>& parts);

// function + "(" + template + ")", bindings unchanged.
Expression<void> wrapUntyped(std::string_view function, const Expression<void>& e);

template <class R = void> Expression<R> wrap(std::string_view function, const Expression<void>& e)
{
    return retype<R>(wrapUntyped(function, e));
}

// lhs + " " + function + " " + rhs, in parentheses when `wrapped` is set.
Expression<void> infixUntyped(const Expression<void>& lhs, const Expression<void>& rhs, std::string_view function,
                              bool wrapped);

template <class R = void>
Expression<R> infix(const Expression<void>& lhs, const Expression<void>& rhs, std::string_view function,
                    bool wrapped = true)
{
    return retype<R>(infixUntyped(lhs, rhs, function, wrapped));
}

// Ordering terms: the expression followed by " ASC" or " DESC".
Expression<void> asc(const Expression<void>& e);
Expression<void> desc(const Expression<void>& e);

// The rowid of a table row: "ROWID" quoted as an identifier.
inline const Expression<std::int64_t> rowid{std::string_view("ROWID")};

// "CAST (" + e + " AS " + U's declared type + ")"; an optional source gives an optional result.
template <SQLValue U, class T>
    requires SQLValue<unwrap_t<T>>
Expression<opt_if_t<U, is_optional_v<T>>> cast(const Expression<T>& e)
{
    return Expression<opt_if_t<U, is_optional_v<T>>>(
        "CAST (" + e.templ + " AS " + std::string(ValueTraits<U>::declaredDatatype()) + ")", e.bindings);
}

} // namespace velquine::sql
