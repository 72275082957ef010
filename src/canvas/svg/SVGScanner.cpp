#include "canvas/svg/SVGScanner.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace velquine {

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

} // namespace

std::optional<double> readNumber(const QString& text, qsizetype position, qsizetype& length)
{
    const qsizetype size = text.size();
    qsizetype i = position;
    std::string token;
    if (i < size && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        if (text[i] == QLatin1Char('-'))
            token += '-';
        ++i;
    }
    int digits = 0;
    while (i < size && isDigit(text[i])) {
        token += char(text[i].unicode());
        ++i;
        ++digits;
    }
    if (i < size && text[i] == QLatin1Char('.')) {
        qsizetype j = i + 1;
        int fraction = 0;
        std::string part = ".";
        while (j < size && isDigit(text[j])) {
            part += char(text[j].unicode());
            ++j;
            ++fraction;
        }
        if (digits > 0 || fraction > 0) {
            token += part;
            digits += fraction;
            i = j;
        }
    }
    if (digits == 0)
        return std::nullopt;
    bool negativeExponent = false;
    if (i < size && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string part = "e";
        if (j < size && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            negativeExponent = text[j] == QLatin1Char('-');
            part += char(text[j].unicode());
            ++j;
        }
        const qsizetype exponentStart = j;
        while (j < size && isDigit(text[j])) {
            part += char(text[j].unicode());
            ++j;
        }
        if (j > exponentStart) {
            token += part;
            i = j;
        } else {
            negativeExponent = false;
        }
    }
    double value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        if (!negativeExponent)
            return std::nullopt;   // too large
        value = token.front() == '-' ? -0.0 : 0.0;   // too small: it is zero
    } else if (error != std::errc() || !std::isfinite(value)) {
        return std::nullopt;
    }
    length = i - position;
    return value;
}

SVGScanner::SVGScanner(QString text, SVGCharacterSet skipped) : text_(std::move(text)), skipped_(std::move(skipped)) {}

void SVGScanner::skip()
{
    while (position_ < text_.size() && skipped_.contains(text_[position_]))
        ++position_;
}

bool SVGScanner::atEnd() const
{
    qsizetype i = position_;
    while (i < text_.size() && skipped_.contains(text_[i]))
        ++i;
    return i >= text_.size();
}

std::optional<double> SVGScanner::scanDouble()
{
    const qsizetype start = position_;
    skip();
    qsizetype length = 0;
    const std::optional<double> value = readNumber(text_, position_, length);
    if (!value) {
        position_ = start;
        return std::nullopt;
    }
    position_ += length;
    return value;
}

std::optional<float> SVGScanner::scanFloat()
{
    const qsizetype start = position_;
    const std::optional<double> value = scanDouble();
    if (!value)
        return std::nullopt;
    if (std::fabs(*value) > double(std::numeric_limits<float>::max())) {
        position_ = start;
        return std::nullopt;
    }
    return float(*value);
}

std::optional<QString> SVGScanner::scanCharacters(const SVGCharacterSet& set)
{
    const qsizetype start = position_;
    skip();
    const qsizetype first = position_;
    while (position_ < text_.size() && set.contains(text_[position_]))
        ++position_;
    if (position_ == first) {
        position_ = start;
        return std::nullopt;
    }
    return text_.mid(first, position_ - first);
}

std::optional<QString> SVGScanner::scanUpTo(QChar delimiter)
{
    const qsizetype start = position_;
    skip();
    const qsizetype first = position_;
    while (position_ < text_.size() && text_[position_] != delimiter)
        ++position_;
    if (position_ == first) {
        position_ = start;
        return std::nullopt;
    }
    return text_.mid(first, position_ - first);
}

double leadingDouble(const std::string& text)
{
    SVGScanner scanner(QString::fromStdString(text), SVGCharacterSet{QString(), true});
    return scanner.scanDouble().value_or(0.0);
}

float leadingFloat(const std::string& text)
{
    SVGScanner scanner(QString::fromStdString(text), SVGCharacterSet{QString(), true});
    return scanner.scanFloat().value_or(0.0f);
}

int leadingInt(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL << 40);
        ++i;
    }
    if (negative)
        value = -value;
    return int(std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace velquine
