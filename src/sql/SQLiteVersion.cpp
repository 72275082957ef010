#include "sql/SQLiteVersion.h"

#include <charconv>
#include <vector>

namespace velquine::sql {

std::optional<SQLiteVersion> SQLiteVersion::parse(const std::string& text)
{
    // Split at "." with at most three splits, dropping empty pieces.
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    int splits = 0;
    while (true) {
        std::string::size_type dot = splits < 3 ? text.find('.', start) : std::string::npos;
        std::string piece = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (!piece.empty())
            pieces.push_back(piece);
        if (dot == std::string::npos)
            break;
        start = dot + 1;
        ++splits;
    }
    if (pieces.size() != 3)
        return std::nullopt;
    int numbers[3];
    for (int i = 0; i < 3; ++i) {
        const std::string& piece = pieces[i];
        const char* begin = piece.data();
        const char* end = begin + piece.size();
        if (*begin == '+')
            ++begin;
        auto [ptr, ec] = std::from_chars(begin, end, numbers[i]);
        if (ec != std::errc() || ptr != end || begin == end)
            return std::nullopt;
    }
    return SQLiteVersion{numbers[0], numbers[1], numbers[2]};
}

std::string SQLiteVersion::description() const
{
    return "SQLite " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(point);
}

} // namespace velquine::sql
