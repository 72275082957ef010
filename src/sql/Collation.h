#pragma once

// The collating sequence SQLite compares and sorts text by: one of the three built into the engine,
// or one registered on the connection under a name (Connection::createCollation).

#include "sql/Expression.h"

#include <string>
#include <type_traits>

namespace velquine::sql {

class Collation {
public:
    enum class Kind { binary, nocase, rtrim, custom };

    static const Collation binary;
    static const Collation nocase;
    static const Collation rtrim;
    // A collation registered under `name`; the name is kept as given and quoted only when written.
    static Collation custom(std::string name) { return Collation(Kind::custom, std::move(name)); }

    Kind kind() const noexcept { return kind_; }
    // The registered name of a custom collation; empty for the built-in ones.
    const std::string& name() const noexcept { return name_; }

    // "BINARY", "NOCASE", "RTRIM", or the custom name in double quotes with inner double quotes doubled.
    std::string description() const;
    // The same text as an SQL fragment without values.
    Expression<void> expression() const { return Expression<void>::literal(description()); }

    friend bool operator==(const Collation&, const Collation&) = default;

private:
    Collation(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

    Kind kind_;
    std::string name_;
};

inline const Collation Collation::binary{Collation::Kind::binary, {}};
inline const Collation Collation::nocase{Collation::Kind::nocase, {}};
inline const Collation Collation::rtrim{Collation::Kind::rtrim, {}};

inline Expression<void> toExpression(const Collation& collation)
{
    return collation.expression();
}

// (t COLLATE c) on a text or optional text expression; the expression's values only.
template <class T>
    requires std::same_as<unwrap_t<T>, std::string>
Expression<T> collate(const Expression<T>& text, const Collation& collation)
{
    return infix<T>(text, collation.expression(), "COLLATE");
}

} // namespace velquine::sql
