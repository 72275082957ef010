#include "kit/OnlyIntegerValueFormatter.h"

#include <cstdint>
#include <limits>

namespace velquine {

bool OnlyIntegerValueFormatter::isPartialStringValid(const QString& text)
{
    if (text.isEmpty())
        return true;
    qsizetype i = 0;
    const bool negative = text[0] == u'-';
    if (text[0] == u'+' || negative)
        ++i;
    if (i == text.size())
        return false;
    // Accumulated towards the sign's side, so the most negative value fits as well.
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        const int digit = c - u'0';
        if (negative) {
            if (value < (std::numeric_limits<std::int64_t>::min() + digit) / 10)
                return false;
            value = value * 10 - digit;
        } else {
            if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10)
                return false;
            value = value * 10 + digit;
        }
    }
    return true;
}

QValidator::State OnlyIntegerValueFormatter::validate(QString& input, int&) const
{
    return isPartialStringValid(input) ? Acceptable : Invalid;
}

} // namespace velquine
