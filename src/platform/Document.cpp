#include "platform/Document.h"

#include <QFileInfo>
#include <QLocale>
#include <QMarginsF>
#include <QPageSize>

namespace velquine {

namespace {

QPageLayout defaultPrintInfo()
{
    const bool inches = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
    return QPageLayout(QPageSize(inches ? QPageSize::Letter : QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(72, 72, 72, 72), QPageLayout::Point);
}

} // namespace

Document::Document() : printInfo(defaultPrintInfo()), undoManager_(std::make_unique<UndoManager>()) {}

Document::~Document() = default;

void Document::setHasUndoManager(bool hasUndoManager)
{
    if (!hasUndoManager)
        undoManager_.reset();
    else if (!undoManager_)
        undoManager_ = std::make_unique<UndoManager>();
}

void Document::updateChangeCount(DocumentChange change)
{
    switch (change) {
    case DocumentChange::done:
    case DocumentChange::redone:
        ++changeCount_;
        break;
    case DocumentChange::undone:
        --changeCount_;
        break;
    case DocumentChange::cleared:
        changeCount_ = 0;
        break;
    }
    if (changeCountChanged_)
        changeCountChanged_();
}

std::unique_ptr<DocumentWrite> Document::makeWrite(const std::string&, const std::string&, WriteContent,
                                                  std::optional<std::string>* error)
{
    if (error)
        *error = "This document can not be saved.";
    return nullptr;
}

namespace {

bool writeNow(Document& document, const std::string& url, const std::string& typeName, WriteContent content,
              std::optional<std::string>* error)
{
    std::unique_ptr<DocumentWrite> write = document.makeWrite(url, typeName, content, error);
    if (!write)
        return false;
    std::string detail;
    const bool written = write->run(error, &detail);
    document.setSaveErrorDetail(written ? std::string() : detail);
    write->finish(written);
    return written;
}

} // namespace

bool Document::writeToURL(const std::string& url, const std::string& typeName, std::optional<std::string>* error)
{
    return writeNow(*this, url, typeName, WriteContent::committed, error);
}

bool Document::writeCopyToURL(const std::string& url, const std::string& typeName, std::optional<std::string>* error)
{
    return writeNow(*this, url, typeName, WriteContent::asItStands, error);
}

bool Document::revertToContentsOfURL(const std::string&, const std::string&, std::optional<std::string>* error)
{
    if (error)
        *error = "This document can not be read again.";
    return false;
}

bool Document::canWriteType(const std::string& typeName) const
{
    return !typeName.empty() && typeName == defaultSaveType();
}

bool Document::saveToURL(const std::string& url, const std::string& typeName, SaveOperation operation,
                         std::optional<std::string>* error)
{
    const std::unique_ptr<PendingSave> save = beginSave(url, typeName, operation, error);
    if (!save)
        return false;
    save->run();
    endSave(*save);
    if (error)
        *error = save->error;
    return save->written;
}

std::unique_ptr<PendingSave> Document::beginSave(const std::string& url, const std::string& typeName,
                                                 SaveOperation operation, std::optional<std::string>* error)
{
    if (readFailed() && operation != SaveOperation::saveAs && fileURL_ == url) {
        if (error)
            *error = "The document could not be read, so it is not saved over its file.";
        return nullptr;
    }
    auto save = std::make_unique<PendingSave>();
    save->write = makeWrite(url, typeName, WriteContent::committed, error);
    if (!save->write)
        return nullptr;
    save->url = url;
    save->typeName = typeName;
    save->operation = operation;
    save->changeCount = changeCount_;
    return save;
}

void Document::endSave(PendingSave& save)
{
    saveErrorDetail_ = save.written ? std::string() : save.errorDetail;
    save.write->finish(save.written);
    if (!save.written)
        return;
    fileURL_ = save.url;
    fileType_ = save.typeName;
    noteFileState();
    // The changes made while the file was written are not in it.
    changeCount_ -= save.changeCount;
    if (changeCountChanged_)
        changeCountChanged_();
}

bool Document::revertToSaved(std::optional<std::string>* error)
{
    if (!fileURL_) {
        if (error)
            *error = "The document has never been saved.";
        return false;
    }
    if (!revertToContentsOfURL(*fileURL_, fileType_, error))
        return false;
    if (undoManager_)
        undoManager_->removeAllActions();
    noteFileState();
    updateChangeCount(DocumentChange::cleared);
    return true;
}

bool Document::canAutosaveInPlace() const
{
    return fileURL_ && isDocumentEdited() && !readFailed() && canWriteType(fileType_);
}

std::optional<Document::FileState> Document::currentFileState(const std::string& path)
{
    const QFileInfo info(QString::fromStdString(path));
    if (!info.exists())
        return std::nullopt;
    return FileState{info.lastModified(), info.size()};
}

void Document::noteFileState()
{
    fileState_ = fileURL_ ? currentFileState(*fileURL_) : std::nullopt;
}

bool Document::fileChangedOnDisk() const
{
    if (!fileURL_)
        return false;
    const std::optional<FileState> now = currentFileState(*fileURL_);
    if (!now)
        return false;
    return !fileState_ || !(*now == *fileState_);
}

void Document::reportReadWarning(std::string warning)
{
    if (readWarningReported_)
        readWarningReported_(warning);
    else
        readWarning_ = std::move(warning);
}

} // namespace velquine
