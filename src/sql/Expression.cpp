#include "sql/Expression.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace velquine::sql {

void appendQuoted(std::string& out, std::string_view text, char mark)
{
    out.push_back(mark);
    for (char c : text) {
        out.push_back(c);
        if (c == mark)
            out.push_back(mark);
    }
    out.push_back(mark);
}

std::string quote(std::string_view text, char mark)
{
    std::string out;
    out.reserve(text.size() + 2);
    appendQuoted(out, text, mark);
    return out;
}

namespace {

// A double as the shortest text that reads back to the same value: fixed notation with at least one
// fractional digit for magnitudes from 1e-4 below 1e16, exponent notation otherwise ("1e+16", "1e-05").
// Infinities become 9e999 / -9e999 (which SQLite reads as infinities) and NaN becomes NULL, so the
// text stays valid SQL.
std::string doubleLiteral(double v)
{
    if (std::isnan(v))
        return "NULL";
    if (std::isinf(v))
        return v > 0 ? "9e999" : "-9e999";
    char buffer[64];
    const double magnitude = std::fabs(v);
    if (magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 1e16)) {
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
        std::string text(buffer, end);
        if (text.find('.') == std::string::npos)
            text += ".0";
        return text;
    }
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific);
    return std::string(buffer, end);
}

} // namespace

std::string inlineLiteral(const OptBinding& binding)
{
    if (!binding)
        return "NULL";
    struct Visitor {
        std::string operator()(std::int64_t v) const { return std::to_string(v); }
        std::string operator()(double v) const { return doubleLiteral(v); }
        std::string operator()(const std::string& v) const { return quote(v, '\''); }
        std::string operator()(const Blob& v) const { return v.description(); }
    };
    return std::visit(Visitor{}, *binding);
}

std::string sqlWithInlinedBindings(const Expression<void>& expression)
{
    const std::string& t = expression.templ;
    std::string out;
    out.reserve(t.size());
    std::size_t index = 0;
    std::size_t i = 0;
    while (i < t.size()) {
        const char c = t[i];
        if (c == '"' || c == '\'' || c == '`' || c == '[') {
            // A quoted name or string literal is copied as it is, up to its closing mark. A doubled
            // closing mark stands for the mark itself (there is no doubling inside [...]).
            const char close = c == '[' ? ']' : c;
            std::size_t j = i + 1;
            while (j < t.size()) {
                if (t[j] == close) {
                    if (close != ']' && j + 1 < t.size() && t[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const std::size_t end = j < t.size() ? j + 1 : t.size();
            out.append(t, i, end - i);
            i = end;
            continue;
        }
        if (c == '?' && index < expression.bindings.size()) {
            out += inlineLiteral(expression.bindings[index]);
            ++index;
        } else {
            out.push_back(c);
        }
        ++i;
    }
    return out;
}

Expression<void> parameter(OptBinding binding)
{
    std::vector<OptBinding> bindings;
    bindings.push_back(std::move(binding));
    return Expression<void>("?", std::move(bindings));
}

Expression<void> join(std::string_view separator, const std::vector<Expression<void>>& parts)
{
    Expression<void> result;
    bool first = true;
    for (const auto& part : parts) {
        if (!first)
            result.templ += separator;
        first = false;
        result.templ += part.templ;
        result.bindings.insert(result.bindings.end(), part.bindings.begin(), part.bindings.end());
    }
    return result;
}

Expression<void> wrapUntyped(std::string_view function, const Expression<void>& e)
{
    std::string templ;
    templ.reserve(function.size() + e.templ.size() + 2);
    templ.append(function);
    templ.push_back('(');
    templ.append(e.templ);
    templ.push_back(')');
    return Expression<void>(std::move(templ), e.bindings);
}

Expression<void> infixUntyped(const Expression<void>& lhs, const Expression<void>& rhs, std::string_view function,
                              bool wrapped)
{
    Expression<void> result;
    result.templ.reserve(lhs.templ.size() + rhs.templ.size() + function.size() + 4);
    if (wrapped)
        result.templ.push_back('(');
    result.templ.append(lhs.templ);
    result.templ.push_back(' ');
    result.templ.append(function);
    result.templ.push_back(' ');
    result.templ.append(rhs.templ);
    if (wrapped)
        result.templ.push_back(')');
    result.bindings.reserve(lhs.bindings.size() + rhs.bindings.size());
    result.bindings.insert(result.bindings.end(), lhs.bindings.begin(), lhs.bindings.end());
    result.bindings.insert(result.bindings.end(), rhs.bindings.begin(), rhs.bindings.end());
    return result;
}

Expression<void> asc(const Expression<void>& e)
{
    return join(" ", {e, literal("ASC")});
}

Expression<void> desc(const Expression<void>& e)
{
    return join(" ", {e, literal("DESC")});
}

} // namespace velquine::sql
