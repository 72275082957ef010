// The program's own file format: the document archive, a zip whose one entry is the document database.

#include "document/DocumentArchive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "base/FilePaths.h"
#include "document/VQDocument.h"
#include "document/VQDocumentFiles.h"
#include "files/Database.h"
#include "files/ProjectLoader.h"
#include "files/ProjectWriter.h"
#include "files/QXZipArchive.h"
#include "platform/Log.h"
#include "platform/LongWork.h"
#include "platform/SafeSave.h"
#include "sql/Connection.h"
#include "sql/Errors.h"

namespace fs = std::filesystem;

namespace velquine {

namespace {

std::string lowercased(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

// The entry of an archive that holds the document database: "database.sqlite" (in any case) when it is
// there, else the last top-level name that contains ".sqlite".
std::optional<std::string> databaseEntry(const std::vector<std::string>& names)
{
    std::optional<std::string> found;
    for (const std::string& name : names) {
        if (name.find('/') != std::string::npos)
            continue;
        const std::string lower = lowercased(name);
        if (lower == VQDocumentFiles::databaseFileName)
            return name;
        if (lower.find(".sqlite") != std::string::npos)
            found = name;
    }
    return found;
}

// The document can not be opened for a reason that lies in the cache folder, where it is unpacked.
[[noreturn]] void throwCannotUnpack(int errorNumber)
{
    throw EnvironmentError("The document can not be opened. "
                           + VQDocumentFiles::folderProblem(VQDocumentFiles::cacheFolder(), errorNumber));
}

// An extraction refused or stopped for want of room in the cache folder (or of rights there) is told as such:
// the file is not damaged. Returns for any other failure.
void refuseForWantOfRoom(const std::string& url, const std::optional<QXZipArchiveError>& error)
{
    if (!error)
        return;
    const std::string folder = VQDocumentFiles::cacheFolder();
    const std::uint64_t declared = QXZipArchive::payloadSizeForArchiveAtPath(url, nullptr);
    const std::optional<std::uint64_t> free = VQDocumentFiles::freeSpace(folder);
    if (error->domain() == kQXZipArchiveErrorDomain && error->code() == kQXZipErrorNotEnoughFreeSpace) {
        const std::uint64_t reserve = QXZipArchive::freeSpaceReserve;
        throw EnvironmentError(
            "There is not enough free space to open the document: it needs "
            + VQDocumentFiles::byteCountText(declared + reserve) + " free in \u201c" + folder + "\u201d ("
            + VQDocumentFiles::byteCountText(declared) + " for the map, and " + VQDocumentFiles::byteCountText(reserve)
            + " that are always kept free), and "
            + (free ? "only " + VQDocumentFiles::byteCountText(*free) + " are" : "less is") + " free there.");
    }
    if (error->domain() == kQXZipSystemErrorDomain && error->code() > 0)
        throwCannotUnpack(int(error->code()));
    // The folder that could not be made for want of space, and a write that failed on a disk without the room.
    const bool noRoomForFolder = error->domain() == kQXZipFileErrorDomain && error->code() == 640;
    const bool failedWrite = error->domain() == kQXZipArchiveErrorDomain && error->code() == kQXZipErrorFailedToWriteFile;
    if (noRoomForFolder || (failedWrite && free && *free < declared))
        throwCannotUnpack(ENOSPC);
    if (failedWrite)
        throwCannotUnpack(EIO);
}

// Builds the archive's folder: "database.sqlite" in `folder`, written from the project through a working copy
// in the data folder or in place, as `place` says. `where` names the folder the scratch folder lies in, and
// follows the folder each step writes into.
void buildDatabaseFolder(const VQProject& saved, const std::string& folder, Database::Place place, std::string& where)
{
    const std::string scratchPlace = where;
    const std::string databasePath = folder + "/" + std::string(VQDocumentFiles::databaseFileName);
    // The working copy lives in a folder of its own, named after the scratch folder; it goes too, and so do the
    // folders made for it.
    struct RemoveWorkingFolder {
        std::string databasePath;
        bool made;
        ~RemoveWorkingFolder()
        {
            if (made)
                Database::removeWorkingDirectory(databasePath);
        }
    } workingFolder{databasePath, place == Database::Place::workingCopy};

    if (place == Database::Place::workingCopy)
        where = Database::programFolder();
    Database database(databasePath, place);
    using Writer = void (*)(const VQProject&, Database&);
    static constexpr Writer writers[] = {writeMetainfoTo,          writeProjectInfoTo, writeProjectStyleTo,
                                         writeGridTo,              writeBaseLayoutOptionsTo,
                                         writeNodeGraphTo,         writeSelectedNodesTo};
    database.openConnection().transaction([&] {
        for (Writer writer : writers) {
            try {
                writer(saved, database);
            } catch (const std::exception& failure) {
                VQ_LOG("writeToDatabase(_:)", failure.what());
                throw;
            }
        }
    });
    where = scratchPlace;
    database.closeAndMove(databasePath);
}

// The rows of the document's nodes table; 0 without one (the loader makes do without it).
std::uint64_t nodeRowCount(const Database& database)
{
    try {
        const sql::OptBinding counted = database.openConnection().scalar("SELECT count(*) FROM nodes");
        if (const auto* count = counted ? std::get_if<std::int64_t>(&*counted) : nullptr)
            return static_cast<std::uint64_t>(std::max<std::int64_t>(*count, 0));
    } catch (const sql::Result&) {
    }
    return 0;
}

std::string folderOfFile(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

void DocumentArchive::writeProject(const VQProject& saved, const std::string& url, bool copy)
{
    // What saves and opens killed midway left behind goes first; then this save holds its own folders.
    VQDocumentFiles::removeLeftovers();
    removePartialFiles(url);

    // The archive is zipped from a scratch folder in the cache folder, the database in it written through a
    // working copy in the data folder. When either folder can take nothing (a full disk, a disk or folder that
    // can only be read), everything is built beside the document's file instead: a save whose own disk has
    // room goes through. What kept each place from taking it is told when none could.
    std::vector<std::string> problems;
    std::string cause;
    const auto buildIn = [&](const auto& makeFolder, Database::Place place, const std::string& firstFolder) {
        std::string where = firstFolder;
        try {
            const auto folder = makeFolder();
            buildDatabaseFolder(saved, folder->path(), place, where);
            zipFolder(url, folder->path());
            return true;
        } catch (const std::exception& failure) {
            const int number = VQDocumentFiles::systemErrorNumber(failure);
            if (!number)
                throw;
            VQ_LOG("writeToDatabase(_:)", std::string("cannot build the archive in ") + where + ": " + failure.what());
            problems.push_back(VQDocumentFiles::folderProblem(where, number));
            cause = std::strerror(number);
            return false;
        }
    };
    const bool written =
        buildIn([] { return std::make_unique<VQDocumentFiles::HeldScratchFolder>(); }, Database::Place::workingCopy,
                VQDocumentFiles::cacheFolder())
        || buildIn([&] { return std::make_unique<ScratchFolderBeside>(url); }, Database::Place::atPath,
                   folderOfFile(url));
    if (!written) {
        // The report of a failed save says already that the document could not be saved: its message says why.
        std::string message = copy ? "The copy could not be written." : "";
        for (const std::string& problem : problems)
            message += (message.empty() ? "" : " ") + problem;
        throw TextError(message, cause);
    }
}

void DocumentArchive::zipFolder(const std::string& url, const std::string& folder)
{
    std::string cause;
    const bool written = replaceFile(
        url,
        [&](const std::string& archivePath) {
            return QXZipArchive::createZipFileAtPath(archivePath, folder, false, 0, std::nullopt, false, nullptr);
        },
        &cause);
    if (!written) {
        const std::string message = "Can not create zip file at: " + url;
        VQ_LOG("writeToDatabase(_:)", message + " (" + cause + ")");
        throw TextError(message, cause);
    }
}

// A map of too many nodes is refused before any of them is read.
static void refuseTooManyNodes(Database& database)
{
    const std::uint64_t nodeRows = nodeRowCount(database);
    if (nodeRows > VQDocumentFiles::maximumNodeCount)
        throw TextError(VQDocumentFiles::tooManyNodesMessage(nodeRows));
}

void DocumentArchive::readDocumentArchive(const std::string& url)
{
    std::error_code statusError;
    if (!fs::is_regular_file(toPath(url), statusError))
        throw fs::filesystem_error("The file couldn't be opened", toPath(url),
                                   statusError ? statusError : std::make_error_code(std::errc::no_such_file_or_directory));
    // A file that cannot be read says why, before its (unreadable) first bytes could make it look foreign.
    if (const int refused = VQDocumentFiles::readingError(url))
        throw VQDocumentFiles::unreadableFileError(refused);
    // Unpacked in a scratch folder of the cache folder; a cache folder that can take nothing says so.
    std::optional<VQDocumentFiles::HeldScratchFolder> scratch;
    try {
        scratch.emplace();
    } catch (const fs::filesystem_error& refused) {
        throwCannotUnpack(refused.code().value() ? refused.code().value() : EIO);
    }
    const VQDocumentFiles::HeldScratchFolder& folder = *scratch;

    // Only the database is extracted: whatever else an archive holds, however many or deep its entries,
    // costs nothing but the reading of its names.
    std::string databasePath;
    std::optional<QXZipArchiveError> unzipError;
    const std::optional<std::vector<std::string>> names =
        QXZipArchive::entryNamesAtPath(url, VQDocumentFiles::maximumArchiveEntries, &unzipError);
    if (names) {
        const std::optional<std::string> found = databaseEntry(*names);
        if (!found)
            throw TextError("Document Archive doesn't contain a sqlite database!");
        if (!QXZipArchive::unzipEntryAtPath(url, *found, folder.path(), &unzipError)) {
            refuseForWantOfRoom(url, unzipError);
            if (unzipError && unzipError->domain() == kQXZipArchiveErrorDomain && unzipError->code() == kQXZipErrorPayloadTooLarge)
                throw TextError(std::string(VQDocumentFiles::damagedDocumentMessage) + " " + unzipError->what());
            throw TextError(std::string(VQDocumentFiles::damagedDocumentMessage));
        }
        databasePath = folder.path() + "/" + *found;
    } else if (VQDocumentFiles::hasSQLiteHeader(url)) {
        // A bare database is read from a private copy: nothing is ever made or changed beside the user's file.
        databasePath = folder.path() + "/" + std::string(VQDocumentFiles::databaseFileName);
        std::error_code copied;
        fs::copy_file(toPath(url), toPath(databasePath), copied);
        if (copied)
            throwCannotUnpack(copied.value());
    } else if (VQDocumentFiles::hasZipSignature(url)) {
        // An archive with more entries than are read says so.
        if (unzipError && unzipError->domain() == kQXZipArchiveErrorDomain && unzipError->code() == kQXZipErrorTooManyEntries)
            throw TextError(std::string(VQDocumentFiles::damagedDocumentMessage) + " " + unzipError->what());
        throw TextError(std::string(VQDocumentFiles::damagedDocumentMessage));
    } else {
        throw TextError(std::string(VQDocumentFiles::notADocumentMessage));
    }
    // An entry that failed to extract may have left something that is not a database.
    if (!VQDocumentFiles::hasSQLiteHeader(databasePath))
        throw TextError(std::string(VQDocumentFiles::damagedDocumentMessage));

    // The user may have cancelled the open meanwhile: the unpacked copy goes with the scratch folder.
    if (LongWork::cancelled())
        throw LongWork::Cancelled();
    Database database;
    try {
        database = Database::openForReading(databasePath);
    } catch (const DatabaseError& refused) {
        throw TextError(refused.what());
    }

    refuseTooManyNodes(database);
    VQProject loaded;
    const ProjectLoadingProblems problems = loadProjectFrom(loaded, database);
    if (LongWork::cancelled())
        throw LongWork::Cancelled();
    if (database.workBudgetExceeded())
        throw TextError(DatabaseError::tooMuchWork().what());
    database.connection.reset();
    // A newer document is not taken in at all, so nothing of it can be saved back in this format.
    if (const ProjectLoadingProblem* problem = firstCatastrophicProblem(problems))
        throw TextError(problem->message);
    document_.projectForLoading() = std::move(loaded);
    document_.readPicturesAtOpen();
}

} // namespace velquine
