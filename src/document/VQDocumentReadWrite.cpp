// Reading and writing a document by file type: the framework's entry points, the choice of reader for a
// file (the document archive or one of the other formats), and the settings a new document starts from.

#include "document/VQDocument.h"
#include "document/DocumentArchive.h"
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
#include "platform/Heap.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "sql/Connection.h"
#include "sql/Errors.h"

namespace fs = std::filesystem;

namespace velquine {

namespace {

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

bool VQDocument::writeToURL(const std::string& url, const std::string& /*typeName*/,
                            std::optional<std::string>* error)
{
    lastSaveErrorDetail_.clear();
    try {
        DocumentArchive(*this).writeToDatabase(url);
        return true;
    } catch (const std::exception& thrown) {
        lastSaveErrorDetail_ = saveFailureCause(thrown);
        if (error)
            *error = thrown.what();
        return false;
    }
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
        isInEditingSession_ = false;
        project_ = saved.project_;
        editingOriginalProject_ = project_;
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
            // Reading a large map leaves much freed behind it.
            releaseFreedMemoryWhenIdle();
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
        DocumentArchive(*this).readDocumentArchive(url);
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

} // namespace velquine
