// Reading and writing a document by file type: the framework's entry points and the choice of reader for a
// file (the document archive or one of the other formats).

#include "document/VQDocument.h"
#include "document/DocumentArchive.h"
#include "document/DocumentImport.h"

#include "base/FilePaths.h"
#include "document/VQDocumentFiles.h"
#include "platform/SafeSave.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "files/Database.h"
#include "files/ProjectLoader.h"
#include "files/ProjectWriter.h"
#include "files/QXZipArchive.h"
#include "platform/Heap.h"
#include "platform/Log.h"
#include "sql/Connection.h"

namespace fs = std::filesystem;

namespace velquine {

namespace {

// What lies beneath a failed save, in the system's words ("No space left on device", "File too large"):
// the same text whichever step met it. Empty when the failure has no such cause.
std::string saveFailureCause(const std::exception& thrown)
{
    if (const auto* text = dynamic_cast<const TextError*>(&thrown))
        return text->detail();
    const int number = VQDocumentFiles::systemErrorNumber(thrown);
    return number ? std::strerror(number) : std::string();
}

} // namespace

// ---- Saving ----

bool VQDocument::writeToURL(const std::string& url, const std::string& /*typeName*/,
                            std::optional<std::string>* error)
{
    return write(url, DocumentArchive::Content::committed, error);
}

bool VQDocument::writeCopyToURL(const std::string& url, const std::string& /*typeName*/,
                                std::optional<std::string>* error)
{
    return write(url, DocumentArchive::Content::asItStands, error);
}

bool VQDocument::write(const std::string& url, DocumentArchive::Content content, std::optional<std::string>* error)
{
    lastSaveErrorDetail_.clear();
    try {
        DocumentArchive(*this).writeToDatabase(url, content);
        return true;
    } catch (const std::exception& thrown) {
        lastSaveErrorDetail_ = saveFailureCause(thrown);
        if (error)
            *error = thrown.what();
        return false;
    }
}

// ---- Reading ----

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
    readWarning_.clear();
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
