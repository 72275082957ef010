#include "sql/CoreFunctions.h"

#include "base/Utf8.h"

#include <array>
#include <limits>

namespace velquine::sql {

const std::string& rawValue(CoreFunction function)
{
    static const std::array<std::string, 20> names{
        "abs",    "round",  "random", "randomblob", "zeroblob", "length", "lower",   "upper", "ltrim",   "rtrim",
        "trim",   "replace", "substr", "LIKE",      "IN",       "GLOB",   "MATCH",   "REGEXP", "COLLATE", "ifnull",
    };
    return names[static_cast<std::size_t>(function)];
}

Expression<Blob> randomblob(std::int64_t length)
{
    return wrap<Blob>(CoreFunction::randomblob, parameter(Binding(length)));
}

Expression<Blob> zeroblob(std::int64_t length)
{
    return wrap<Blob>(CoreFunction::zeroblob, parameter(Binding(length)));
}

namespace detail {

namespace {

// The UTF-8 form of one character; a value that is no Unicode scalar becomes U+FFFD.
std::string utf8(char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    std::string out;
    appendUtf8(out, c);
    return out;
}

} // namespace

Expression<void> trimCall(CoreFunction function, const Expression<void>& text,
                          const std::optional<std::string>& characters)
{
    if (!characters)
        return wrap(function, text);
    return wrap(function, std::vector<Expression<void>>{text, parameter(Binding(*characters))});
}

Expression<void> likeCall(const Expression<void>& text, const Expression<void>& pattern,
                          std::optional<char32_t> escape)
{
    Expression<void> joined = infixUntyped(text, pattern, rawValue(CoreFunction::like), false);
    if (!escape)
        return wrapUntyped("", joined);
    Expression<void> result("(" + joined.templ + " ESCAPE ?)", std::move(joined.bindings));
    result.bindings.emplace_back(Binding(utf8(*escape)));
    return result;
}

Expression<void> substrCall(const Expression<void>& text, std::int64_t location, std::optional<std::int64_t> length)
{
    std::vector<Expression<void>> arguments{text, parameter(Binding(location))};
    if (length)
        arguments.push_back(parameter(Binding(*length)));
    return wrap(CoreFunction::substr, arguments);
}

std::int64_t rangeLength(std::int64_t lower, std::int64_t upper)
{
    std::int64_t length = 0;
    if (__builtin_sub_overflow(upper, lower, &length))
        return upper > lower ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    return length;
}

} // namespace detail

} // namespace velquine::sql
