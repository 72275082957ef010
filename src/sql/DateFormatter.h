#pragma once

// Points in time as column values, stored as UTC text through one process-wide formatter.

#include "sql/Value.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velquine::sql {

using Date = std::chrono::system_clock::time_point;

// Turns dates into text and back. The default form is "yyyy-MM-dd'T'HH:mm:ss.SSS" in UTC with no zone
// suffix (2021-01-01T00:00:00.000), whatever the machine's own time zone is; fractions below a
// millisecond are cut off.
class DateFormatter {
public:
    virtual ~DateFormatter() = default;
    virtual std::string format(Date date) const;
    // nullopt when the text is not in the formatter's form or names no valid date and time.
    virtual std::optional<Date> parse(std::string_view text) const;
};

// The formatter every date conversion uses; made on first use.
const DateFormatter& dateFormatter();
// Replaces it for all later conversions; nullptr restores the default.
void setDateFormatter(std::shared_ptr<const DateFormatter> formatter);

template <> struct ValueTraits<Date> {
    using Datatype = std::string;
    static std::string declaredDatatype() { return "TEXT"; }
    // Throws ValueConversionError when the text is no date.
    static Date fromDatatypeValue(const std::string& text);
    static std::string datatypeValue(Date date) { return dateFormatter().format(date); }
};

} // namespace velquine::sql
