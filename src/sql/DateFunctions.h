#pragma once

// Builders of SQLite's date and time functions date, time, datetime, julianday and strftime. Time
// strings and modifiers ("now", "2021-03-04", "start of month", "+1 day") are always bound values,
// never written into the SQL text. SQLite yields NULL for a time string or modifier it cannot read,
// so every result is optional.

#include "sql/DateFormatter.h"
#include "sql/Expression.h"

#include <optional>
#include <string>
#include <vector>

namespace velquine::sql {

// The static builders; nothing makes instances of it.
class DateFunctions {
public:
    DateFunctions() = delete;

    // date(?), or date(?, ?, ...) with one more "?" per modifier; the time string, then the modifiers.
    static Expression<std::optional<std::string>> date(const std::string& timeString,
                                                       const std::vector<std::string>& modifiers = {});
    // time(?) or time(?, ?, ...)
    static Expression<std::optional<std::string>> time(const std::string& timeString,
                                                       const std::vector<std::string>& modifiers = {});
    // datetime(?) or datetime(?, ?, ...)
    static Expression<std::optional<std::string>> datetime(const std::string& timeString,
                                                           const std::vector<std::string>& modifiers = {});
    // julianday(?) or julianday(?, ?, ...)
    static Expression<std::optional<double>> julianday(const std::string& timeString,
                                                       const std::vector<std::string>& modifiers = {});
    // strftime(?, ?), or strftime(?, ?, ?, ...): the format, the time string, then the modifiers.
    static Expression<std::optional<std::string>> strftime(const std::string& format, const std::string& timeString,
                                                           const std::vector<std::string>& modifiers = {});
};

// The functions applied to a date value, rendered by the shared date formatter and bound as the
// time string: date(?), time(?), datetime(?), julianday(?).
Expression<std::optional<std::string>> date(Date value);
Expression<std::optional<std::string>> time(Date value);
Expression<std::optional<std::string>> datetime(Date value);
Expression<std::optional<double>> julianday(Date value);

// The functions applied to a date expression: date(t), time(t), datetime(t), julianday(t), with the
// expression's values.
template <class T>
    requires std::same_as<unwrap_t<T>, Date>
Expression<std::optional<std::string>> date(const Expression<T>& value)
{
    return wrap<std::optional<std::string>>("date", value);
}
template <class T>
    requires std::same_as<unwrap_t<T>, Date>
Expression<std::optional<std::string>> time(const Expression<T>& value)
{
    return wrap<std::optional<std::string>>("time", value);
}
template <class T>
    requires std::same_as<unwrap_t<T>, Date>
Expression<std::optional<std::string>> datetime(const Expression<T>& value)
{
    return wrap<std::optional<std::string>>("datetime", value);
}
template <class T>
    requires std::same_as<unwrap_t<T>, Date>
Expression<std::optional<double>> julianday(const Expression<T>& value)
{
    return wrap<std::optional<double>>("julianday", value);
}

} // namespace velquine::sql
