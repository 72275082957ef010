#include "document/VQDocumentFiles.h"

#include "base/FilePaths.h"
#include "base/LockedFolder.h"
#include "files/Database.h"
#include "sql/Errors.h"

#include <QStandardPaths>
#include <QString>
#include <QRegularExpression>
#include <QUuid>

#include <array>
#include <filesystem>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <fstream>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velquine {

namespace {

std::string freshUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The first bytes of a file; fewer when the file is shorter or cannot be read.
std::string leadingBytes(const std::string& path, std::size_t count)
{
    std::ifstream in(toPath(path), std::ios::binary);
    std::string bytes(count, '\0');
    if (!in)
        return {};
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

bool isUUIDName(const std::string& name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    return pattern.match(QString::fromStdString(name)).hasMatch();
}

// True for what a scratch folder holds: a document's database, and the files the engine makes beside it.
bool holdsOnlyADatabase(const fs::path& folder)
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        if (!fromPath(entry.path().filename()).starts_with(VQDocumentFiles::databaseFileName))
            return false;
    return !error;
}

} // namespace

std::string VQDocumentFiles::cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdString();
}

VQDocumentFiles::HeldScratchFolder::HeldScratchFolder()
{
    const std::string caches = cacheFolder();
    if (caches.empty())
        throw fs::filesystem_error("There is no folder for caches", std::make_error_code(std::errc::no_such_file_or_directory));
    lock_ = std::make_unique<LockedFolder>(caches + "/" + freshUUID());
}

VQDocumentFiles::HeldScratchFolder::~HeldScratchFolder()
{
    removeFolder(path());
}

void VQDocumentFiles::removeLeftovers() noexcept
{
    try {
        std::error_code error;
        // Working copies, each in a folder of its own that the save writing it holds.
        const std::string working = Database::workingFolder();
        for (const fs::directory_entry& entry : fs::directory_iterator(toPath(working), error))
            if (entry.is_directory(error) && !entry.is_symlink(error))
                LockedFolder::removeUnheld(fromPath(entry.path()));
        Database::removeEmptyWorkingFolders(working);
        const std::string caches = cacheFolder();
        if (caches.empty())
            return;
        // Working copies of earlier versions, named after their scratch folder's whole path: none is in use.
        const std::string earlier = Database::programFolder() + caches;
        for (const fs::directory_entry& entry : fs::directory_iterator(toPath(earlier), error))
            if (isUUIDName(fromPath(entry.path().filename())))
                fs::remove_all(entry.path(), error);
        Database::removeEmptyWorkingFolders(earlier);
        for (const fs::directory_entry& entry : fs::directory_iterator(toPath(caches), error)) {
            const std::string name = fromPath(entry.path().filename());
            if (isUUIDName(name) && entry.is_directory(error) && !entry.is_symlink(error)
                && holdsOnlyADatabase(entry.path()))
                LockedFolder::removeUnheld(fromPath(entry.path()));
        }
    } catch (...) {
        // Leftovers stay until the next time.
    }
}

std::string VQDocumentFiles::tooManyNodesMessage(std::uint64_t count)
{
    return "The map has " + std::to_string(count) + " nodes, more than the " + std::to_string(maximumNodeCount)
        + " a map may hold.";
}

namespace {

// "line 3, column 7 (Premature end of document)"
std::string damagePlace(std::int64_t line, std::int64_t column, std::string_view reason)
{
    std::string place = "line " + std::to_string(line) + ", column " + std::to_string(column);
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' '))
        reason.remove_suffix(1);
    if (!reason.empty())
        place += " (" + std::string(reason) + ")";
    return place;
}

} // namespace

std::string VQDocumentFiles::damagedOPMLMessage(std::int64_t line, std::int64_t column, std::string_view reason)
{
    return "The file is damaged: it stops being well-formed OPML at " + damagePlace(line, column, reason)
        + ", and it holds no outline element before that point.";
}

std::string VQDocumentFiles::partlyReadOPMLMessage(std::int64_t line, std::int64_t column, std::string_view reason)
{
    return "It stops being well-formed OPML at " + damagePlace(line, column, reason)
        + ". Only the outline before that point was read; the rest of the file is missing from the map.";
}

std::string VQDocumentFiles::picturesNotShownMessage(const std::vector<std::pair<std::string, std::string>>& notShown)
{
    if (notShown.empty())
        return {};
    const auto named = [](const std::string& title) {
        return title.empty() ? std::string("a node without a title") : "\u201c" + title + "\u201d";
    };
    constexpr std::size_t mostNamed = 10;
    if (notShown.size() == 1)
        return "The picture of " + named(notShown.front().first) + " is not shown: " + notShown.front().second
            + " It stays in the map as it came, and is saved with it.";
    std::string message = std::to_string(notShown.size())
        + " pictures are not shown. They stay in the map as they came, and are saved with it.";
    for (std::size_t i = 0; i < notShown.size() && i < mostNamed; ++i)
        message += "\n\u2022 " + named(notShown[i].first) + ": " + notShown[i].second;
    if (notShown.size() > mostNamed)
        message += "\n\u2026 and " + std::to_string(notShown.size() - mostNamed) + " more.";
    return message;
}

DocumentReader VQDocumentFiles::readerFor(std::string_view typeName, std::string_view path)
{
    struct Row {
        DocumentReader reader;
        std::array<std::string_view, 3> typeNames;
        std::array<std::string_view, 2> extensions;
    };
    static constexpr std::array<Row, 6> rows{{
        {DocumentReader::documentArchive, {"io.kelvarn.velquine.mindmap"}, {"radovudo"}},
        {DocumentReader::plainText, {"public.text", "public.txt"}, {"txt"}},
        {DocumentReader::markdown,
         {"public.markdown", "net.daringfireball.markdown", "org.commonmark.markdown"},
         {"md", "markdown"}},
        {DocumentReader::rtf, {"public.rtf"}, {"rtf"}},
        {DocumentReader::docx, {"org.openxmlformats.wordprocessingml.document"}, {"docx"}},
        {DocumentReader::opml, {"public.data.xml.opml"}, {"opml"}},
    }};
    const std::string extension = pathExtension(path);
    for (const Row& row : rows) {
        for (std::string_view name : row.typeNames)
            if (!name.empty() && name == typeName)
                return row.reader;
        for (std::string_view ending : row.extensions)
            if (!ending.empty() && endsWith(extension, ending))
                return row.reader;
    }
    return DocumentReader::none;
}

std::string VQDocumentFiles::pathExtension(std::string_view path)
{
    std::string_view name = path;
    while (!name.empty() && name.back() == '/')
        name.remove_suffix(1);
    if (const std::size_t slash = name.find_last_of('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return std::string(name.substr(dot + 1));
}

bool VQDocumentFiles::hasSQLiteHeader(const std::string& path)
{
    static constexpr std::string_view header{"SQLite format 3\0", 16};
    return leadingBytes(path, header.size()) == header;
}

int VQDocumentFiles::readingError(const std::string& path)
{
    int descriptor;
    do
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        return errno ? errno : EIO;
    ::close(descriptor);
    return 0;
}

TextError VQDocumentFiles::unreadableFileError(int errorNumber)
{
    return TextError("The file couldn't be read: " + std::string(std::strerror(errorNumber)) + ".");
}

bool VQDocumentFiles::hasZipSignature(const std::string& path)
{
    const std::string bytes = leadingBytes(path, 4);
    return bytes.size() == 4 && bytes[0] == 'P' && bytes[1] == 'K'
        && ((bytes[2] == 3 && bytes[3] == 4) || (bytes[2] == 5 && bytes[3] == 6) || (bytes[2] == 7 && bytes[3] == 8));
}

std::string VQDocumentFiles::byteCountText(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    static constexpr const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    // Whole kilobytes; above, one decimal unless it is zero.
    char text[32];
    const double tenths = std::round(value * 10);
    if (unit == 0 || std::fmod(tenths, 10) == 0)
        std::snprintf(text, sizeof text, "%.0f %s", unit == 0 ? std::round(value) : tenths / 10, units[unit]);
    else
        std::snprintf(text, sizeof text, "%.1f %s", tenths / 10, units[unit]);
    return text;
}

std::optional<std::uint64_t> VQDocumentFiles::freeSpace(const std::string& folder)
{
    struct statvfs disk {};
    if (folder.empty() || ::statvfs(folder.c_str(), &disk) != 0)
        return std::nullopt;
    return std::uint64_t(disk.f_bavail) * std::uint64_t(disk.f_frsize);
}

std::string VQDocumentFiles::folderProblem(const std::string& folder, int errorNumber)
{
    const std::string quoted = "\u201c" + folder + "\u201d";
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return "There is not enough free space in " + quoted + ".";
    case EROFS:
        return quoted + " is on a disk that can only be read.";
    case EACCES:
    case EPERM:
        return "Velquine may not write in " + quoted + ".";
    default:
        return quoted + " can not be written to: " + std::strerror(errorNumber) + ".";
    }
}

int VQDocumentFiles::systemErrorNumber(const std::exception& failure)
{
    // The engine's failures: the system's error of a failing call, else what the code stands for.
    const auto engineNumber = [](int code, int systemErrorNumber) {
        switch (code & 0xff) {
        case SQLITE_FULL:
            return ENOSPC;
        case SQLITE_READONLY:
            return systemErrorNumber ? systemErrorNumber : EROFS;
        case SQLITE_CANTOPEN:
        case SQLITE_IOERR:
        case SQLITE_PERM:
            return systemErrorNumber ? systemErrorNumber : EIO;
        case SQLITE_NOMEM:
            return ENOMEM;
        default:
            return systemErrorNumber;
        }
    };
    if (const auto* engine = dynamic_cast<const sql::Result*>(&failure))
        return engineNumber(engine->code(), engine->systemErrorNumber());
    if (const auto* database = dynamic_cast<const DatabaseError*>(&failure))
        return engineNumber(database->resultCode(), database->systemErrorNumber());
    if (const auto* files = dynamic_cast<const fs::filesystem_error*>(&failure)) {
        const std::error_code code = files->code();
        if (code && (code.category() == std::generic_category() || code.category() == std::system_category()))
            return code.value();
    }
    return 0;
}

std::string VQDocumentFiles::makeTemporaryDirectory()
{
    const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (caches.isEmpty())
        throw fs::filesystem_error("There is no folder for caches", std::make_error_code(std::errc::no_such_file_or_directory));
    const std::string folder = caches.toStdString() + "/" + freshUUID();
    fs::create_directories(toPath(folder));
    return folder;
}

void VQDocumentFiles::removeFolder(const std::string& path) noexcept
{
    if (path.empty())
        return;
    std::error_code ignored;
    fs::remove_all(toPath(path), ignored);
}

} // namespace velquine
