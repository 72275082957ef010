#pragma once

#include "files/QXZipArchive.h"

// Helpers for the zip archive tests: throw-away folders, files with fixed dates and modes, a reader of the raw
// central directory (independent of the zip library), and running the system's zip tools.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <optional>
#include <string>
#include <vector>

namespace ziptest {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "vq-zip-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        // Real path, so that comparisons with resolved paths hold where /tmp is itself a link.
        path_ = fs::canonical(pattern).string();
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Seconds since 1970 of a local wall-clock time.
inline double localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<double>(std::mktime(&t));
}

inline void setModificationTime(const std::string& path, double seconds)
{
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("utimensat failed for " + path);
}

inline double modificationTime(const std::string& path)
{
    struct stat s {};
    if (::lstat(path.c_str(), &s) != 0)
        return -1;
    return static_cast<double>(s.st_mtim.tv_sec);
}

inline unsigned mode(const std::string& path)
{
    struct stat s {};
    if (::lstat(path.c_str(), &s) != 0)
        return 0;
    return s.st_mode;
}

inline bool isLink(const std::string& path)
{
    return S_ISLNK(mode(path));
}

inline std::string linkTarget(const std::string& path)
{
    std::error_code ec;
    return fs::read_symlink(path, ec).string();
}

// Every path below a folder, relative, sorted, links not followed.
inline std::set<std::string> listing(const std::string& folder)
{
    std::set<std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        out.insert(fs::path(it->path()).lexically_relative(folder).generic_string());
    return out;
}

// The names directly in a folder.
inline std::set<std::string> topLevel(const std::string& folder)
{
    std::set<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        out.insert(it->path().filename().string());
    return out;
}

struct CentralEntry {
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flag = 0;
    std::uint16_t method = 0;
    std::uint32_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t extraLength = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localHeaderOffset = 0;
    std::string name;
};

inline std::uint32_t le(const std::string& b, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b.at(at + static_cast<std::size_t>(i)));
    return v;
}

// The entries of the central directory, read straight from the bytes.
inline std::vector<CentralEntry> centralDirectory(const std::string& bytes)
{
    std::vector<CentralEntry> entries;
    if (bytes.size() < 22)
        throw std::runtime_error("too short for a zip archive");
    std::size_t end = bytes.size() - 22;
    while (le(bytes, end, 4) != 0x06054b50) {
        if (end == 0)
            throw std::runtime_error("no end of central directory");
        --end;
    }
    const std::uint32_t count = le(bytes, end + 10, 2);
    std::size_t at = le(bytes, end + 16, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (le(bytes, at, 4) != 0x02014b50)
            throw std::runtime_error("bad central header");
        CentralEntry e;
        e.versionMadeBy = static_cast<std::uint16_t>(le(bytes, at + 4, 2));
        e.versionNeeded = static_cast<std::uint16_t>(le(bytes, at + 6, 2));
        e.flag = static_cast<std::uint16_t>(le(bytes, at + 8, 2));
        e.method = static_cast<std::uint16_t>(le(bytes, at + 10, 2));
        e.dosDate = le(bytes, at + 12, 4);
        e.crc = le(bytes, at + 16, 4);
        e.compressedSize = le(bytes, at + 20, 4);
        e.uncompressedSize = le(bytes, at + 24, 4);
        const std::uint32_t nameLength = le(bytes, at + 28, 2);
        e.extraLength = static_cast<std::uint16_t>(le(bytes, at + 30, 2));
        const std::uint32_t commentLength = le(bytes, at + 32, 2);
        e.externalAttributes = le(bytes, at + 38, 4);
        e.localHeaderOffset = le(bytes, at + 42, 4);
        e.name = bytes.substr(at + 46, nameLength);
        entries.push_back(e);
        at += 46 + nameLength + e.extraLength + commentLength;
    }
    return entries;
}

struct CommandResult {
    int status = -1;
    std::string output;
};

// Runs a shell command, standard error joined to standard output.
inline CommandResult run(const std::string& command)
{
    CommandResult result;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline std::string shellQuoted(const std::string& path)
{
    std::string out = "'";
    for (char c : path) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// The number of open file descriptors of this process.
inline std::size_t openDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// ---- Archives built entry by entry and extracted with the full routine ----

using velquine::QXZipArchive;
using velquine::QXZipArchiveError;
using velquine::QXZipEntryInfo;

inline std::vector<std::uint8_t> bytes(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// Builds archives entry by entry, with any names, as a hostile archive would hold them.
class ArchiveBuilder {
public:
    ArchiveBuilder(const TempDir& dir, const std::string& name)
        : path_(dir / name), scratch_(dir / (name + ".links")), archive_(path_)
    {
        fs::create_directories(scratch_);
        if (!archive_.open())
            throw std::runtime_error("cannot create " + path_);
    }
    ArchiveBuilder& file(const std::string& name, const std::string& content, int level = 0)
    {
        if (!archive_.writeData(bytes(content), name, level, std::nullopt, false))
            throw std::runtime_error("cannot add " + name);
        return *this;
    }
    ArchiveBuilder& link(const std::string& name, const std::string& target)
    {
        const std::string onDisk = scratch_ + "/l" + std::to_string(links_++);
        fs::create_symlink(target, onDisk);
        if (!archive_.writeSymlinkFileAtPath(onDisk, name, 0, std::nullopt, false))
            throw std::runtime_error("cannot add link " + name);
        return *this;
    }
    std::string finish()
    {
        if (!archive_.close())
            throw std::runtime_error("cannot close " + path_);
        return path_;
    }

private:
    std::string path_;
    std::string scratch_;
    QXZipArchive archive_;
    int links_ = 0;
};

struct Outcome {
    bool answer = false;
    std::optional<QXZipArchiveError> error;
    std::vector<std::string> reported; // names the progress handler saw
    std::vector<long> numbers;
};

inline Outcome unzip(const std::string& archive, const std::string& destination, bool overwrite = true,
              std::optional<std::string> validWithin = std::string("<destination>"))
{
    Outcome o;
    if (validWithin && *validWithin == "<destination>")
        validWithin = destination;
    o.answer = QXZipArchive::unzipFileAtPath(
        archive, destination, true, overwrite, validWithin, 0, std::nullopt, &o.error, nullptr,
        [&o](const std::string& name, const QXZipEntryInfo&, long number, long) {
            o.reported.push_back(name);
            o.numbers.push_back(number);
        },
        {});
    return o;
}


} // namespace ziptest
