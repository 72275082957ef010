#pragma once

// Paths held as UTF-8 text, as the rest of the program holds them, to and from the file system's own form.

#include <filesystem>
#include <string>

namespace velquine {

inline std::filesystem::path toPath(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string fromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace velquine
