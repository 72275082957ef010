#include "sql/WindowFunctions.h"

#include <array>

namespace velquine::sql {

const std::string& rawValue(WindowFunction function)
{
    static const std::array<std::string, 11> names{
        "ntile", "row_number", "rank",        "dense_rank", "percent_rank", "cume_dist",
        "lag",   "lead",       "first_value", "last_value", "nth_value",
    };
    return names[static_cast<std::size_t>(function)];
}

namespace detail {

Expression<void> over(const Expression<void>& call, const Expression<void>& order)
{
    return join(" ", {call, Expression<void>("OVER (ORDER BY " + order.templ + ")", order.bindings)});
}

Expression<void> offsetWindow(WindowFunction function, const Expression<void>& value, std::int64_t number,
                              const std::optional<Expression<void>>& defaultValue, const Expression<void>& order)
{
    std::string templ = rawValue(function);
    templ += '(';
    templ += value.templ;
    templ += ", ";
    templ += std::to_string(number);
    if (defaultValue) {
        templ += ", ";
        templ += sqlWithInlinedBindings(*defaultValue);
    }
    templ += ") OVER (ORDER BY ";
    templ += order.templ;
    templ += ')';
    std::vector<OptBinding> bindings = value.bindings;
    bindings.insert(bindings.end(), order.bindings.begin(), order.bindings.end());
    return Expression<void>(std::move(templ), std::move(bindings));
}

} // namespace detail

} // namespace velquine::sql
