#include "sql/DateFormatter.h"

#include <cstdio>
#include <cstdlib>

namespace velquine::sql {

using namespace std::chrono;

std::string DateFormatter::format(Date date) const
{
    const auto ms = floor<milliseconds>(date);
    const auto day = floor<days>(ms);
    const year_month_day ymd{day};
    const hh_mm_ss<milliseconds> time{ms - day};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d.%03d", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return buffer;
}

namespace {

// Reads exactly `count` decimal digits at `pos`.
bool digits(std::string_view text, std::size_t& pos, std::size_t count, int& out)
{
    if (pos + count > text.size())
        return false;
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    pos += count;
    out = value;
    return true;
}

bool literal(std::string_view text, std::size_t& pos, char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

} // namespace

std::optional<Date> DateFormatter::parse(std::string_view text) const
{
    std::size_t pos = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (!(digits(text, pos, 4, y) && literal(text, pos, '-') && digits(text, pos, 2, mo) && literal(text, pos, '-')
          && digits(text, pos, 2, d) && literal(text, pos, 'T') && digits(text, pos, 2, h) && literal(text, pos, ':')
          && digits(text, pos, 2, mi) && literal(text, pos, ':') && digits(text, pos, 2, s) && literal(text, pos, '.')
          && digits(text, pos, 3, ms))
        || pos != text.size())
        return std::nullopt;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok() || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    return time_point_cast<Date::duration>(sys_days{ymd} + hours{h} + minutes{mi} + seconds{s} + milliseconds{ms});
}

namespace {

std::shared_ptr<const DateFormatter>& currentFormatter()
{
    static std::shared_ptr<const DateFormatter> formatter = std::make_shared<const DateFormatter>();
    return formatter;
}

} // namespace

const DateFormatter& dateFormatter()
{
    return *currentFormatter();
}

void setDateFormatter(std::shared_ptr<const DateFormatter> formatter)
{
    currentFormatter() = formatter ? std::move(formatter) : std::make_shared<const DateFormatter>();
}

Date ValueTraits<Date>::fromDatatypeValue(const std::string& text)
{
    if (auto date = dateFormatter().parse(text))
        return *date;
    throw ValueConversionError("not a date: " + text);
}

} // namespace velquine::sql
