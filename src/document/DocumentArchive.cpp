// The program's own file format: the document archive, a zip whose one entry is the document database.

#include "document/DocumentArchive.h"

#include <algorithm>
#include <filesystem>
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

} // namespace

void DocumentArchive::writeToDatabase(const std::string& url)
{
    if (document_.readFailed())
        throw TextError("A document that could not be read is not saved: " + url);

    // What saves and opens killed midway left behind goes first; then this save holds its own folders.
    VQDocumentFiles::removeLeftovers();
    removePartialFiles(url);
    const VQDocumentFiles::HeldScratchFolder folder;
    const std::string databasePath = folder.path() + "/" + std::string(VQDocumentFiles::databaseFileName);
    // The working copy lives in a folder of its own, named after the scratch folder; it goes too, and so
    // do the folders made for it.
    struct RemoveWorkingFolder {
        std::string databasePath;
        ~RemoveWorkingFolder() { Database::removeWorkingDirectory(databasePath); }
    } workingFolder{databasePath};

    {
        Database database(databasePath);
        const VQProject saved = document_.project();
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
        database.closeAndMove(databasePath);
    }

    std::string cause;
    const bool written = replaceFile(
        url,
        [&](const std::string& archivePath) {
            return QXZipArchive::createZipFileAtPath(archivePath, folder.path(), false, 0, std::nullopt, false,
                                                     nullptr);
        },
        &cause);
    if (!written) {
        const std::string message = "Can not create zip file at: " + url;
        VQ_LOG("writeToDatabase(_:)", message + " (" + cause + ")");
        throw TextError(message, cause);
    }

    document_.notifyEventListeners([](VQDocumentEventListener& listener) { listener.documentDidSave(); });
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
    const VQDocumentFiles::HeldScratchFolder folder;

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
            if (unzipError && unzipError->domain() == kQXZipArchiveErrorDomain && unzipError->code() == -8)
                throw TextError(std::string(VQDocumentFiles::damagedDocumentMessage) + " " + unzipError->what());
            throw TextError(std::string(VQDocumentFiles::damagedDocumentMessage));
        }
        databasePath = folder.path() + "/" + *found;
    } else if (VQDocumentFiles::hasSQLiteHeader(url)) {
        // A bare database is read from a private copy: nothing is ever made or changed beside the user's file.
        databasePath = folder.path() + "/" + std::string(VQDocumentFiles::databaseFileName);
        fs::copy_file(toPath(url), toPath(databasePath));
    } else if (VQDocumentFiles::hasZipSignature(url)) {
        // An archive with more entries than are read says so.
        if (unzipError && unzipError->domain() == kQXZipArchiveErrorDomain && unzipError->code() == -9)
            throw TextError(std::string(VQDocumentFiles::damagedDocumentMessage) + " " + unzipError->what());
        throw TextError(std::string(VQDocumentFiles::damagedDocumentMessage));
    } else {
        throw TextError(std::string(VQDocumentFiles::notADocumentMessage));
    }
    // An entry that failed to extract may have left something that is not a database.
    if (!VQDocumentFiles::hasSQLiteHeader(databasePath))
        throw TextError(std::string(VQDocumentFiles::damagedDocumentMessage));

    Database database;
    try {
        database = Database::openForReading(databasePath);
    } catch (const DatabaseError& refused) {
        throw TextError(refused.what());
    }

    // Counted before any is read.
    std::uint64_t nodeRows = 0;
    try {
        const sql::OptBinding counted = database.openConnection().scalar("SELECT count(*) FROM nodes");
        if (const auto* count = counted ? std::get_if<std::int64_t>(&*counted) : nullptr)
            nodeRows = static_cast<std::uint64_t>(std::max<std::int64_t>(*count, 0));
    } catch (const sql::Result&) {
        // No nodes table: the loader makes do without.
    }
    if (nodeRows > VQDocumentFiles::maximumNodeCount)
        throw TextError(VQDocumentFiles::tooManyNodesMessage(nodeRows));

    VQProject loaded;
    const ProjectLoadingProblems problems = loadProjectFrom(loaded, database);
    if (database.workBudgetExceeded())
        throw TextError(DatabaseError::tooMuchWork().what());
    database.connection.reset();
    // A newer document is not taken in at all, so nothing of it can be saved back in this format.
    if (const ProjectLoadingProblem* problem = firstCatastrophicProblem(problems))
        throw TextError(problem->message);
    document_.projectForLoading() = std::move(loaded);
}

} // namespace velquine
