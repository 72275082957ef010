#pragma once

// Throw-away folders and whole files as bytes, for the tests that read and write files.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velquine::testing {

// A throw-away folder; its paths are plain and absolute.
class Folder {
public:
    Folder() { EXPECT_TRUE(dir_.isValid()); }
    std::string path() const { return dir_.path().toStdString(); }
    std::string operator/(const std::string& name) const { return path() + "/" + name; }

private:
    QTemporaryDir dir_;
};

inline std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The names in a folder, sorted.
inline std::vector<std::string> folderNames(const std::string& path)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace velquine::testing
