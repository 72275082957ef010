#include "sql/Operators.h"

namespace velquine::sql {

namespace {

Expression<bool> joinTerms(const std::vector<Expression<bool>>& terms, const char* separator, const char* empty)
{
    if (terms.empty())
        return Expression<bool>::literal(empty);
    std::vector<Expression<void>> parts(terms.begin(), terms.end());
    return wrap<bool>("", join(separator, parts));
}

} // namespace

Expression<bool> allOf(const std::vector<Expression<bool>>& terms)
{
    return joinTerms(terms, " AND ", "(1)");
}

Expression<bool> anyOf(const std::vector<Expression<bool>>& terms)
{
    return joinTerms(terms, " OR ", "(0)");
}

namespace detail {

Expression<void> exclusiveOr(const Expression<void>& a, const Expression<void>& b)
{
    const Expression<void> both = infix(a, b, "&");
    const Expression<void> either = infix(a, b, "|");
    return infix(wrap("~", both), either, "&");
}

} // namespace detail

} // namespace velquine::sql
