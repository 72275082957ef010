#pragma once

// Scalar SQL functions written in C++ with typed parameters and a typed result. Registration hands
// back a builder that writes calls of the function into typed expressions:
//
//     auto twice = createFunction(*db, "twice", true, [](std::int64_t x) { return 2 * x; });
//     Expression<std::int64_t> call = twice(Expression<std::int64_t>("n"));   // "twice"("n")
//
// A parameter of type V takes a non-NULL value whose storage class is V's; a parameter of type
// std::optional<V> also takes NULL, which arrives as an absent value. An absent optional result
// yields NULL. A call with NULL for a plain parameter, or with a value of another storage class
// (no coercion is made between INTEGER, REAL, TEXT and BLOB), fails the SQL statement with an error
// naming the function and the argument; the block does not run.

#include "sql/Connection.h"
#include "sql/Errors.h"
#include "sql/Expression.h"
#include "sql/Value.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace velquine::sql {

// A call of a typed function with an argument it cannot take. The engine reports the text as the
// error of the statement that made the call.
class FunctionArgumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes calls of a registered function: the name in double quotes, then the arguments in
// parentheses, their values in order. It holds only the name, so it outlives the connection.
template <class Z, class... Args> class FunctionCall {
public:
    explicit FunctionCall(std::string name) : name_(std::move(name)) {}

    const std::string& name() const noexcept { return name_; }

    Expression<Z> operator()(const Expression<Args>&... arguments) const
    {
        return wrap<Z>(quote(name_), join(", ", std::vector<Expression<void>>{Expression<void>(arguments)...}));
    }

private:
    std::string name_;
};

namespace detail {

// "INTEGER", "REAL", "TEXT" or "BLOB"
std::string storageClassName(const Binding& value);
template <BindingType D> std::string storageClassName()
{
    return storageClassName(Binding(D{}));
}

// The argument at `position` (1 is the first) as a value of parameter type P.
template <class P> P typedArgument(const OptBinding& argument, std::size_t position, const std::string& function)
{
    using V = unwrap_t<P>;
    using D = datatype_t<V>;
    if (!argument) {
        if constexpr (is_optional_v<P>)
            return std::nullopt;
        else
            throw FunctionArgumentError("unexpected NULL for argument " + std::to_string(position) + " of " + function);
    }
    const D* stored = std::get_if<D>(&*argument);
    if (!stored)
        throw FunctionArgumentError("wrong type for argument " + std::to_string(position) + " of " + function
                                    + ": expected " + storageClassName<D>() + ", got " + storageClassName(*argument));
    return ValueTraits<V>::fromDatatypeValue(*stored);
}

template <class Z> OptBinding typedResult(const Z& result)
{
    return toBinding(result);
}

// Registers the conversion around the block, rethrowing a refused registration with the prefix
// "Error creating function: ".
void registerFunction(Connection& db, const std::string& name, unsigned argumentCount, bool deterministic,
                      Connection::Function function);

template <class Z, class... Args, std::size_t... I>
FunctionCall<Z, Args...> createTypedFunction(Connection& db, const std::string& name, bool deterministic,
                                             std::function<Z(Args...)> block, std::index_sequence<I...>)
{
    auto conversion = [name, block = std::move(block)](const std::vector<OptBinding>& arguments) -> OptBinding {
        if (arguments.size() != sizeof...(Args))
            throw FunctionArgumentError(name + " takes " + std::to_string(sizeof...(Args)) + " arguments, not "
                                        + std::to_string(arguments.size()));
        // Braced initialisation converts left to right, so the first bad argument is the one reported.
        std::tuple<Args...> converted{typedArgument<Args>(arguments[I], I + 1, name)...};
        return typedResult<Z>(std::apply(block, std::move(converted)));
    };
    registerFunction(db, name, sizeof...(Args), deterministic, std::move(conversion));
    return FunctionCall<Z, Args...>(name);
}

template <class T> concept TypedFunctionValue = SQLValueOrOptional<T>;

} // namespace detail

// Registers `block` as the function `name` (written unquoted to the engine) taking exactly as many
// arguments as the block has parameters (none, one or two), SQLite's deterministic flag set when
// asked. Registering the same name and count again replaces the function. Returns the builder of
// its calls. Throws Result ("Error creating function: " and the engine's message) when the engine
// refuses the registration.
template <class Z, class... Args>
    requires detail::TypedFunctionValue<Z> && (detail::TypedFunctionValue<std::remove_cvref_t<Args>> && ...)
FunctionCall<Z, std::remove_cvref_t<Args>...> createFunction(Connection& db, const std::string& name,
                                                             bool deterministic, std::function<Z(Args...)> block)
{
    static_assert(sizeof...(Args) <= 2, "typed functions take at most two parameters");
    std::function<Z(std::remove_cvref_t<Args>...)> byValue = [block = std::move(block)](std::remove_cvref_t<Args>... a) {
        return block(std::move(a)...);
    };
    return detail::createTypedFunction<Z, std::remove_cvref_t<Args>...>(db, name, deterministic, std::move(byValue),
                                                                        std::index_sequence_for<Args...>{});
}

// The same for a lambda or function whose signature can be read off it.
template <class F>
    requires requires(F f) { std::function{f}; }
auto createFunction(Connection& db, const std::string& name, bool deterministic, F block)
{
    return createFunction(db, name, deterministic, std::function{std::move(block)});
}

} // namespace velquine::sql
