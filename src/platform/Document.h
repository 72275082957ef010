#pragma once

// The base of a document object: where it is stored, of which type, and its undo history.
//
// A document owns its undo manager unless it was told to keep none; with none, undoManager() is null and
// every registration is skipped by the callers. Reading, writing and window handling are the concern of the
// concrete document.

#include <memory>
#include <optional>
#include <string>

#include <QPageLayout>

#include "platform/UndoManager.h"

namespace velquine {

class Document {
public:
    Document();
    virtual ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // The file the document is stored in; nothing for a document never saved.
    const std::optional<std::string>& fileURL() const { return fileURL_; }
    void setFileURL(std::optional<std::string> url) { fileURL_ = std::move(url); }

    // The type identifier of the document's content.
    const std::string& fileType() const { return fileType_; }
    void setFileType(std::string type) { fileType_ = std::move(type); }

    // The document's undo history, or null when it keeps none.
    UndoManager* undoManager() const { return undoManager_.get(); }
    // With false the history is dropped and none is kept; with true a fresh one is made when there is none.
    void setHasUndoManager(bool hasUndoManager);
    bool hasUndoManager() const { return undoManager_ != nullptr; }

    // The page set-up used when the document is printed; A4 portrait with 72-point margins at first, or Letter
    // where the locale measures in inches. Printing writes its own settings into it and they stay.
    QPageLayout printInfo;

private:
    std::optional<std::string> fileURL_;
    std::string fileType_;
    std::unique_ptr<UndoManager> undoManager_;
};

} // namespace velquine
