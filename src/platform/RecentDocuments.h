#pragma once

// The documents opened or saved lately, newest first, kept in the settings under "recentDocuments" as a JSON
// array of absolute paths. Files that are no longer there are dropped whenever the list is read.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velquine {

class RecentDocuments {
public:
    static constexpr std::string_view settingsKey = "recentDocuments";
    static constexpr std::size_t maximumCount = 10;

    // The paths of files that are still there, newest first; the stored list loses the others.
    static std::vector<std::string> paths();
    // Puts the file first (as an absolute path), once, and keeps the newest maximumCount.
    static void note(const std::string& path);
    static void clear();

private:
    static std::vector<std::string> stored();
    static void store(const std::vector<std::string>& paths);
};

} // namespace velquine
