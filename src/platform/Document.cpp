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

bool Document::writeToURL(const std::string&, const std::string&, std::optional<std::string>* error)
{
    if (error)
        *error = "This document can not be saved.";
    return false;
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
    if (readFailed() && operation != SaveOperation::saveAs && fileURL_ == url) {
        if (error)
            *error = "The document could not be read, so it is not saved over its file.";
        return false;
    }
    if (!writeToURL(url, typeName, error))
        return false;
    fileURL_ = url;
    fileType_ = typeName;
    noteFileState();
    updateChangeCount(DocumentChange::cleared);
    return true;
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

} // namespace velquine
