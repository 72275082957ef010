// QXZipArchive: entry names, path rules, MS-DOS dates and byte texts.

#include "files/QXZipArchive.h"

#include "files/QXZipArchiveInternal.h"
#include "base/Hex.h"
#include "base/Utf8.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <deque>

namespace velquine {

namespace {

// The upper half of code page 437 (DOS Latin US); the lower half is ASCII.
constexpr char16_t kCodePage437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC,
    0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2,
    0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310,
    0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C,
    0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF,
    0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2,
    0x25A0, 0x00A0,
};

} // namespace

namespace qxzip {

std::optional<std::string> resolvePhysically(const std::string& path)
{
    // Walks the path one component at a time from the root, replacing each link by its target, so ".." always
    // means the parent of the real folder reached so far. Components that do not exist are taken as written.
    std::deque<std::string> pending;
    auto push = [&pending](const std::string& text, bool front) {
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t slash = text.find('/', start);
            const std::size_t end = slash == std::string::npos ? text.size() : slash;
            if (end > start)
                parts.push_back(text.substr(start, end - start));
            if (slash == std::string::npos)
                break;
            start = slash + 1;
        }
        if (front)
            pending.insert(pending.begin(), parts.begin(), parts.end());
        else
            pending.insert(pending.end(), parts.begin(), parts.end());
    };
    std::string current(1, '/');
    if (path.empty() || path.front() != '/') {
        char* cwd = ::getcwd(nullptr, 0);
        if (!cwd)
            return std::nullopt;
        push(cwd, false);
        std::free(cwd);
    }
    push(path, false);

    int hops = 0;
    while (!pending.empty()) {
        const std::string part = pending.front();
        pending.pop_front();
        if (part == ".")
            continue;
        if (part == "..") {
            const auto slash = current.find_last_of('/');
            current = slash == 0 ? std::string(1, '/') : current.substr(0, slash);
            continue;
        }
        const std::string next = current == "/" ? "/" + part : current + "/" + part;
        struct stat status {};
        if (::lstat(next.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
            if (++hops > 40)
                return std::nullopt;
            std::string target(PATH_MAX, '\0');
            const ssize_t length = ::readlink(next.c_str(), target.data(), target.size());
            if (length < 0)
                return std::nullopt;
            target.resize(static_cast<std::size_t>(length));
            push(target, true);
            if (!target.empty() && target.front() == '/')
                current.assign(1, '/');
            continue;
        }
        current = next;
    }
    return current;
}

std::vector<std::string> pathComponents(const std::string& path)
{
    std::vector<std::string> parts;
    if (!path.empty() && path.front() == '/')
        parts.emplace_back("/");
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return parts;
}

} // namespace qxzip

std::string QXZipArchive::filenameStringWithCString(const char* name, std::uint16_t versionMadeBy,
                                                    std::uint16_t generalPurposeFlag, std::size_t size)
{
    std::string bytes;
    if (name) {
        std::size_t length = 0;
        while (length < size && name[length] != '\0')
            ++length;
        bytes.assign(name, length);
    }
    if (versionMadeBy <= 255 && (generalPurposeFlag & 0x800) == 0) {
        std::string text;
        for (unsigned char c : bytes)
            appendUtf8(text, c < 0x80 ? char32_t(c) : char32_t(kCodePage437High[c - 0x80]));
        return text;
    }
    if (isValidUtf8(bytes))
        return bytes;
    // The names of some tools are in no declared encoding; Latin-1 gives every byte a character.
    std::string text;
    for (unsigned char c : bytes)
        appendUtf8(text, c);
    return text;
}

std::optional<std::string> QXZipArchive::sanitizedPath(const std::string& path)
{
    std::string input = "/" + path;
    for (char& c : input)
        if (c == '\\')
            c = '/';
    // Dot-segment removal of a URL path (RFC 3986, 5.2.4); the leading "/" keeps ".." from climbing out.
    std::string output;
    auto removeLastSegment = [&output] {
        const auto slash = output.find_last_of('/');
        output.erase(slash == std::string::npos ? 0 : slash);
    };
    while (!input.empty()) {
        if (input.rfind("/./", 0) == 0) {
            input.erase(0, 2);
        } else if (input == "/.") {
            input.assign(1, '/');
        } else if (input.rfind("/../", 0) == 0) {
            input.erase(0, 3);
            removeLastSegment();
        } else if (input == "/..") {
            input.assign(1, '/');
            removeLastSegment();
        } else if (input == "." || input == "..") {
            input.clear();
        } else {
            const std::size_t next = input.find('/', input.front() == '/' ? 1 : 0);
            const std::size_t count = next == std::string::npos ? input.size() : next;
            output += input.substr(0, count);
            input.erase(0, count);
        }
    }
    return output.empty() ? std::string() : output.substr(1);
}

bool QXZipArchive::escapesTargetDirectory(const std::string& target, const std::string& folder)
{
    auto expandTilde = [](const std::string& p) {
        if (!p.empty() && p.front() == '~' && (p.size() == 1 || p[1] == '/')) {
            const char* home = std::getenv("HOME");
            return std::string(home ? home : "") + p.substr(1);
        }
        return p;
    };
    if (qxzip::pathComponents(folder).empty())
        return false;
    const auto resolvedFolder = qxzip::resolvePhysically(expandTilde(folder));
    const auto resolvedTarget = qxzip::resolvePhysically(expandTilde(target));
    if (!resolvedFolder || !resolvedTarget)
        return true; // a loop of links leads nowhere inside
    const auto folderParts = qxzip::pathComponents(*resolvedFolder);
    const auto targetParts = qxzip::pathComponents(*resolvedTarget);
    if (targetParts.size() < folderParts.size())
        return true;
    for (std::size_t i = 0; i < folderParts.size(); ++i)
        if (folderParts[i] != targetParts[i])
            return true;
    return false;
}

double QXZipArchive::dateWithMSDOSFormat(std::uint32_t msdos)
{
    std::tm t{};
    t.tm_year = static_cast<int>((msdos >> 25) & 0x7F) + 1980 - 1900;
    t.tm_mon = static_cast<int>((msdos >> 21) & 0x0F) - 1;
    t.tm_mday = static_cast<int>((msdos >> 16) & 0x1F);
    t.tm_hour = static_cast<int>((msdos >> 11) & 0x1F);
    t.tm_min = static_cast<int>((msdos >> 5) & 0x3F);
    t.tm_sec = static_cast<int>(msdos & 0x1F) * 2;
    t.tm_isdst = -1;
    return static_cast<double>(std::mktime(&t));
}

std::uint32_t QXZipArchive::msdosDateTimeFromDate(double secondsSince1970)
{
    const std::time_t seconds = static_cast<std::time_t>(std::floor(secondsSince1970));
    std::tm t{};
    localtime_r(&seconds, &t);
    int year = t.tm_year + 1900;
    // The format holds 1980 to 2107; dates outside are pinned to its ends.
    if (year < 1980)
        return (1u << 21) | (1u << 16);
    if (year > 2107)
        return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    return (static_cast<std::uint32_t>(year - 1980) << 25) | (static_cast<std::uint32_t>(t.tm_mon + 1) << 21)
        | (static_cast<std::uint32_t>(t.tm_mday) << 16) | (static_cast<std::uint32_t>(t.tm_hour) << 11)
        | (static_cast<std::uint32_t>(t.tm_min) << 5) | static_cast<std::uint32_t>(t.tm_sec / 2);
}

std::string QXZipArchive::hexString(const std::vector<std::uint8_t>& bytes)
{
    return velquine::hexString(bytes, HexCase::upper);
}

std::string QXZipArchive::base64RFC4648(const std::vector<std::uint8_t>& bytes)
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t a = bytes[i];
        const std::uint32_t b = i + 1 < bytes.size() ? bytes[i + 1] : 0;
        const std::uint32_t c = i + 2 < bytes.size() ? bytes[i + 2] : 0;
        const std::uint32_t triple = (a << 16) | (b << 8) | c;
        text.push_back(alphabet[(triple >> 18) & 0x3F]);
        text.push_back(alphabet[(triple >> 12) & 0x3F]);
        text.push_back(i + 1 < bytes.size() ? alphabet[(triple >> 6) & 0x3F] : '=');
        text.push_back(i + 2 < bytes.size() ? alphabet[triple & 0x3F] : '=');
    }
    return text;
}

} // namespace velquine
