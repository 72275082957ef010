#pragma once

#include <compare>
#include <optional>
#include <string>

namespace velquine::sql {

// The version of the SQLite library in use, as "SELECT sqlite_version()" reports it.
struct SQLiteVersion {
    int major = 0;
    int minor = 0;
    int point = 0;

    // Exactly three dot-separated decimal numbers ("3.40.1"); anything else gives no version.
    static std::optional<SQLiteVersion> parse(const std::string& text);

    // "SQLite 3.40.1".
    std::string description() const;

    friend bool operator==(const SQLiteVersion&, const SQLiteVersion&) = default;
    friend std::strong_ordering operator<=>(const SQLiteVersion&, const SQLiteVersion&) = default;
};

} // namespace velquine::sql
