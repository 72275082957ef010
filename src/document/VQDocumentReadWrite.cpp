// Reading and writing a document by file type: the document archive (a zip whose one entry is the
// document database), the choice of reader for other files, and the settings a new document starts from.

#include "document/VQDocument.h"
#include "document/DocumentImport.h"

#include "base/FilePaths.h"
#include "document/VQDocumentFiles.h"
#include "layout/VQProjectEdits.h"
#include "platform/SafeSave.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <sqlite3.h>

#include "files/Database.h"
#include "files/ProjectLoader.h"
#include "files/ProjectWriter.h"
#include "files/QXZipArchive.h"
#include "model/graph/Grid.h"
#include "model/style/ProjectStyle.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
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

// What lies beneath a failed save, in the system's words ("No space left on device", "File too large"):
// the same text whichever step met it. Empty when the failure has no such cause.
std::string saveFailureCause(const std::exception& thrown)
{
    // The engine's failures: the system's error of a failing read or write, else what the code stands for.
    const auto engineCause = [](int code, int systemErrorNumber) -> std::string {
        if (systemErrorNumber != 0)
            return std::strerror(systemErrorNumber);
        switch (code & 0xff) {
        case SQLITE_FULL:
            return std::strerror(ENOSPC);
        case SQLITE_IOERR:
            return std::strerror(EIO);
        case SQLITE_NOMEM:
            return std::strerror(ENOMEM);
        default:
            return {};
        }
    };
    if (const auto* text = dynamic_cast<const TextError*>(&thrown))
        return text->detail();
    if (const auto* engine = dynamic_cast<const sql::Result*>(&thrown))
        return engineCause(engine->code(), engine->systemErrorNumber());
    if (const auto* database = dynamic_cast<const DatabaseError*>(&thrown))
        return engineCause(database->resultCode(), database->systemErrorNumber());
    if (const auto* files = dynamic_cast<const fs::filesystem_error*>(&thrown)) {
        const std::error_code code = files->code();
        if (code.category() == std::generic_category() || code.category() == std::system_category())
            return std::strerror(code.value());
    }
    return {};
}

} // namespace

// ---- New documents ----

std::shared_ptr<VQDocument> VQDocument::makeUntitledDocument()
{
    auto document = std::make_shared<VQDocument>();
    document->applyNewDocumentDefaults();
    return document;
}

void VQDocument::applyNewDocumentDefaults()
{
    const UserDefaults& defaults = UserDefaults::standard();
    GridType type = GridType::noGrid;
    if (const std::optional<std::string> name = defaults.stringForKey("defaultGridStyle")) {
        try {
            type = gridTypeFromString(*name);
        } catch (const TextError&) {
            type = GridType::noGrid;
        }
    }
    const std::int64_t size = defaults.integerForKey("defaultGridSize");
    const double side = size >= 8 && size <= 32 ? static_cast<double>(size) : 24.0;
    project_.grid.type = type;
    project_.grid.size = Size{side, side};

    const ProjectStyle style = defaultProjectStyle();
    project_.projectStyle = style;
    applyStyle(project_, style, true, true, true);
}

// ---- Saving ----

std::string VQDocument::makeTemporaryDirectory()
{
    return VQDocumentFiles::makeTemporaryDirectory();
}

bool VQDocument::writeToURL(const std::string& url, const std::string& /*typeName*/,
                            std::optional<std::string>* error)
{
    lastSaveErrorDetail_.clear();
    try {
        writeToDatabase(url);
        return true;
    } catch (const std::exception& thrown) {
        lastSaveErrorDetail_ = saveFailureCause(thrown);
        if (error)
            *error = thrown.what();
        return false;
    }
}

void VQDocument::writeToDatabase(const std::string& url)
{
    if (readFailed_)
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
        const VQProject saved = project_;
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

    notifyEventListeners([](VQDocumentEventListener& listener) { listener.documentDidSave(); });
}

// ---- Reading ----

std::shared_ptr<VQDocument> VQDocument::makeDocumentForURL(const std::string& url, const std::string& typeName)
{
    auto document = std::make_shared<VQDocument>();
    document->setFileURL(url);
    document->setFileType(typeName);
    document->read(url, typeName);
    // A file opened as a document that yields no outline (a picture, a damaged OPML file, an empty text) is
    // refused: an empty untitled map in its place would hide that nothing was read.
    if (!document->fileURL() && document->project_.graph.isEmpty()) {
        switch (VQDocumentFiles::readerFor(typeName, url)) {
        case DocumentReader::none:
            throw TextError(std::string(VQDocumentFiles::unknownKindMessage));
        case DocumentReader::opml:
            throw TextError(std::string(VQDocumentFiles::noOPMLOutlineMessage));
        default:
            throw TextError(std::string(VQDocumentFiles::noTextOutlineMessage));
        }
    }
    return document;
}

bool VQDocument::revertToContentsOfURL(const std::string& url, const std::string& typeName,
                                       std::optional<std::string>* error)
{
    try {
        VQDocument saved;
        saved.setFileURL(url);
        saved.setFileType(typeName);
        saved.read(url, typeName);
        if (!saved.fileURL())
            throw TextError("The file is not a Velquine document: " + url);
        isInEditingSession = false;
        project_ = saved.project_;
        editingOriginalProject = project_;
        notifyEventListeners([](VQDocumentEventListener& listener) { listener.documentDidReplaceProject(); });
        return true;
    } catch (const std::exception& thrown) {
        if (error)
            *error = thrown.what();
        return false;
    }
}

bool VQDocument::readFromURL(const std::string& url, const std::string& typeName, std::optional<std::string>* error)
{
    try {
        read(url, typeName);
        return true;
    } catch (const std::exception& thrown) {
        if (error)
            *error = thrown.what();
        return false;
    }
}

void VQDocument::read(const std::string& url, const std::string& typeName)
{
    // Listeners hear of every read, a failed one too, in this order.
    struct PostReadEvents {
        VQDocument& document;
        ~PostReadEvents()
        {
            document.notifyEventListeners([](VQDocumentEventListener& listener) { listener.documentDidReadProject(); });
            document.notifyEventListeners(
                [](VQDocumentEventListener& listener) { listener.documentDidReplaceProject(); });
        }
    } postEvents{*this};

    // Until the read has finished, this document must not be saved over anything.
    readFailed_ = true;
    const DocumentReader reader = VQDocumentFiles::readerFor(typeName, url);
    if (reader != DocumentReader::documentArchive) {
        setFileURL(std::nullopt);
        setFileType(std::string(documentType));
    }
    switch (reader) {
    case DocumentReader::documentArchive:
        readDocumentArchive(url);
        break;
    case DocumentReader::plainText:
        DocumentImport(*this).readPlainText(url);
        break;
    case DocumentReader::markdown:
        DocumentImport(*this).readMarkdown(url);
        break;
    case DocumentReader::rtf:
        DocumentImport(*this).readRTFTextDocumentFormat(url);
        break;
    case DocumentReader::docx:
        DocumentImport(*this).readDocx(url);
        break;
    case DocumentReader::opml:
        DocumentImport(*this).readOPML(url);
        break;
    case DocumentReader::none:
        break;
    }
    readFailed_ = false;
}

void VQDocument::readDocumentArchive(const std::string& url)
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
    project_ = std::move(loaded);
}

} // namespace velquine
