#pragma once

// The base of a document object: where it is stored, of which type, its undo history and its edited state.
//
// A document owns its undo manager unless it was told to keep none; with none, undoManager() is null and
// every registration is skipped by the callers.
//
// Edited state: the change count moves up for every change done or redone and down for every change undone;
// a save (or a revert) sets it back to zero. The document is edited while the count is not zero, so undoing
// back to the saved state makes it clean again, and undoing past it makes it edited. The concrete document
// reports its changes through updateChangeCount.
//
// Reading and writing are the concrete document's: the base saves through writeToURL and reverts through
// revertToContentsOfURL, and keeps the file's modification time and size as they were when it last read or
// wrote the file, so that a change made by another program can be noticed before a save overwrites it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QDateTime>
#include <QPageLayout>

#include "platform/UndoManager.h"

namespace velquine {

enum class DocumentChange { done, undone, redone, cleared };

// What a save is for: into the document's own file, into a new file that becomes the document's, or an
// automatic save into the document's own file.
enum class SaveOperation { save, saveAs, autosaveInPlace };

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

    // ---- Edited state ----

    void updateChangeCount(DocumentChange change);
    std::int64_t changeCount() const { return changeCount_; }
    bool isDocumentEdited() const { return changeCount_ != 0; }
    // Called after every change of the change count (one observer: the document controller).
    void setChangeCountCallback(std::function<void()> callback) { changeCountChanged_ = std::move(callback); }
    // Whether anything is not saved yet: a change counted, or one under way that changed something.
    bool hasUnsavedWork() const { return isDocumentEdited() || hasUncommittedChanges(); }
    // Called after the change under way changed something, and when it was given up (one observer: the document
    // controller). A change under way that is committed is counted instead.
    void setUncommittedChangesCallback(std::function<void()> callback) { uncommittedChanged_ = std::move(callback); }

    // ---- Reading and writing (the concrete document's) ----

    // Writes the document's content to url as typeName; false with the reason in error on failure, and the
    // file at url is then as it was.
    virtual bool writeToURL(const std::string& url, const std::string& typeName, std::optional<std::string>* error);
    // Puts the content of the file back in place of the document's (no undo step); false with the reason,
    // the document unchanged, on failure.
    virtual bool revertToContentsOfURL(const std::string& url, const std::string& typeName,
                                       std::optional<std::string>* error);
    // What lay beneath the last failed write ("Permission denied"), when known; empty otherwise.
    virtual std::string saveErrorDetail() const { return {}; }
    // Whether a read of this document failed: such a document is never written over its file.
    virtual bool readFailed() const { return false; }
    // What the last read left out of a file it could only partly read (a damaged file opened up to the
    // damage), to be told to the user; empty when the read took the whole file.
    virtual std::string readWarning() const { return {}; }
    // Whether a change is under way (an editing session: a title or a note being typed). Saves write what is
    // committed, as it was before the change began; copies kept for recovery take the change in as it stands.
    virtual bool hasOpenEditingSession() const { return false; }
    // Whether the change under way has changed anything yet.
    virtual bool hasUncommittedChanges() const { return false; }
    // Ends the change under way so that it is kept (called before a document is closed).
    virtual void finishEditing() {}
    // Writes what writeToURL writes, but with the change under way taken in as it stands: a copy kept for
    // recovery. The same as writeToURL for a document that has no such change.
    virtual bool writeCopyToURL(const std::string& url, const std::string& typeName, std::optional<std::string>* error)
    {
        return writeToURL(url, typeName, error);
    }
    // Whether the document writes files of typeName.
    virtual bool canWriteType(const std::string& typeName) const;
    // The type new files of this document are saved as, and its file extension (without the dot).
    virtual std::string defaultSaveType() const { return fileType_; }
    virtual std::string defaultSaveExtension() const { return {}; }

    // Saves through writeToURL. On success save and saveAs make url and typeName the document's own, clear
    // the change count and note the file's state; autosaveInPlace does the same for the document's own file.
    // A failure changes nothing and leaves the reason in error.
    bool saveToURL(const std::string& url, const std::string& typeName, SaveOperation operation,
                   std::optional<std::string>* error);
    // Reverts to the document's own file: the content read again, the change count cleared, the undo history
    // forgotten. False, with the reason and nothing changed, when the read fails or there is no file.
    bool revertToSaved(std::optional<std::string>* error);
    // Whether an automatic save into the document's own file may happen now: a file the document owns and
    // writes, a change not yet saved, and a read that did not fail. A change under way does not stop it: the
    // save writes what is committed.
    bool canAutosaveInPlace() const;

    // ---- The file on disk ----

    // Notes the state of the document's file as it is now (after a read or a write).
    void noteFileState();
    // Whether the document's file was changed or replaced since the document last read or wrote it. A file
    // that is gone is no change: saving simply makes it again.
    bool fileChangedOnDisk() const;

    // The file's modification time and size as noted; kept with a copy of unsaved changes, so that a document
    // taken up again in a later run still notices a change another program made meanwhile.
    struct FileState {
        QDateTime modified;
        qint64 size = 0;
        friend bool operator==(const FileState&, const FileState&) = default;
    };
    const std::optional<FileState>& notedFileState() const { return fileState_; }
    void setNotedFileState(std::optional<FileState> state) { fileState_ = std::move(state); }

protected:
    // For the concrete document: its change under way changed something, or was given up.
    void uncommittedChangesChanged()
    {
        if (uncommittedChanged_)
            uncommittedChanged_();
    }

private:
    std::optional<std::string> fileURL_;
    std::string fileType_;
    std::unique_ptr<UndoManager> undoManager_;
    std::int64_t changeCount_ = 0;
    std::function<void()> changeCountChanged_;
    std::function<void()> uncommittedChanged_;
    std::optional<FileState> fileState_;
    static std::optional<FileState> currentFileState(const std::string& path);
};

} // namespace velquine
