// Reading and writing a document by file type: the framework's entry points and the choice of reader for a
// file (the document archive or one of the other formats).

#include "document/VQDocument.h"
#include "document/ArchiveWrite.h"
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
#include "platform/Log.h"
#include "platform/LongWork.h"
#include "sql/Connection.h"

namespace fs = std::filesystem;

namespace velquine {

// ---- Saving ----

std::unique_ptr<DocumentWrite> VQDocument::makeWrite(const std::string& url, const std::string& /*typeName*/,
                                                     WriteContent content, std::optional<std::string>* error)
{
    if (readFailed()) {
        if (error)
            *error = "A document that could not be read is not saved: " + url;
        return nullptr;
    }
    if (content == WriteContent::asItStands)
        return std::make_unique<ArchiveWrite>(project_, url, true, nullptr);
    return std::make_unique<ArchiveWrite>(committedProject(), url, false, [this] {
        notifyEventListeners([](VQDocumentEventListener& listener) { listener.documentDidSave(); });
    });
}

// ---- Reading ----

bool VQDocument::revertToContentsOfURL(const std::string& url, const std::string& typeName,
                                       std::optional<std::string>* error)
{
    try {
        VQDocument saved;
        saved.setFileURL(url);
        saved.setFileType(typeName);
        // Read on a worker while the user waits, the window repainting.
        LongWork::wait("Reading \u201c" + fromPath(toPath(url).filename()) + "\u201d\u2026",
                       [&] { saved.read(url, typeName); });
        if (!saved.fileURL())
            throw TextError("The file is not a Velquine document: " + url);
        isInEditingSession_ = false;
        project_ = saved.project_;
        editingOriginalProject_ = project_;
        readUnreadPictures();
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
    setReadFailed(true);
    setReadWarning({});
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
    setReadFailed(false);
}

} // namespace velquine
