#include "platform/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace velquine {

namespace {

// Shortest digits and decimal exponent of a finite, non-zero value: value = 0.DIGITS x 10^exponent.
struct Decimal {
    std::string digits;
    int exponent = 0;
};

template <class F>
Decimal shortestDecimal(F value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const auto e = text.find('e');
    Decimal d;
    for (char c : text.substr(0, e))
        if (c != '.')
            d.digits.push_back(c);
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    d.exponent = std::atoi(std::string(text.substr(e + 1)).c_str()) + 1;
    return d;
}

template <class F>
std::string format(F value, double exponentialAbove)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    std::string out = std::signbit(value) ? "-" : "";
    if (value == 0)
        return out + "0.0";
    const Decimal d = shortestDecimal(value);
    if (d.exponent < -3 || std::fabs(static_cast<double>(value)) > exponentialAbove) {
        out += d.digits[0];
        if (d.digits.size() > 1) {
            out += '.';
            out += d.digits.substr(1);
        }
        const int e = d.exponent - 1;
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "e%c%02d", e < 0 ? '-' : '+', std::abs(e));
        return out + buffer;
    }
    if (d.exponent <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.exponent), '0');
        return out + d.digits;
    }
    const auto intDigits = static_cast<std::size_t>(d.exponent);
    if (d.digits.size() <= intDigits) {
        out += d.digits;
        out.append(intDigits - d.digits.size(), '0');
        return out + ".0";
    }
    out += d.digits.substr(0, intDigits);
    out += '.';
    return out + d.digits.substr(intDigits);
}

} // namespace

std::string formatDouble(double value) { return format(value, 0x1.0p54); }

std::string formatFloat(float value) { return format(value, 0x1.0p25); }

std::string formatPoint(const Point& p) { return "(" + formatDouble(p.x) + ", " + formatDouble(p.y) + ")"; }

std::string formatSize(const Size& s) { return "(" + formatDouble(s.width) + ", " + formatDouble(s.height) + ")"; }

std::string formatRect(const Rect& r)
{
    return "(" + formatDouble(r.origin.x) + ", " + formatDouble(r.origin.y) + ", " + formatDouble(r.size.width) + ", " +
           formatDouble(r.size.height) + ")";
}

} // namespace velquine
