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
// Reading and writing are the concrete document's: the base saves through the writes makeWrite takes (which
// may run on a worker thread, see beginSave) and reverts through revertToContentsOfURL, and keeps the file's
// modification time and size as they were when it last read or wrote the file, so that a change made by
// another program can be noticed before a save overwrites it.

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

// What a write of a document takes: what is committed (what its file holds), or the content as it stands, the
// change under way taken in (a copy kept for recovery).
enum class WriteContent { committed, asItStands };

// One write of a document's content, taken on the main thread: it holds the content as it was when it was
// taken, so that any thread can write it while the document goes on changing.
class DocumentWrite {
public:
    virtual ~DocumentWrite() = default;
    // Writes the content to the file it was taken for, replacing that file only once complete; false with the
    // reason in error, and what lay beneath it in detail when known. Any thread; touches no document.
    virtual bool run(std::optional<std::string>* error, std::string* detail) = 0;
    // On the main thread once run has answered, while the document lives: what the document does with the
    // outcome (its listeners told of a save, say).
    virtual void finish(bool /*written*/) {}
};

// A save under way (Document::beginSave): its write, and what ending it needs.
struct PendingSave {
    std::string url;
    std::string typeName;
    SaveOperation operation = SaveOperation::save;
    // The document's change count when the save began: the changes the file will hold.
    std::int64_t changeCount = 0;
    std::unique_ptr<DocumentWrite> write;
    // The outcome, set by run().
    bool written = false;
    std::optional<std::string> error;
    std::string errorDetail;
    // Writes; any thread.
    void run() { written = write->run(&error, &errorDetail); }
};

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

    // The write of the document's content to url as typeName, taken now on the main thread: what is committed,
    // or the content as it stands with the change under way taken in (a copy kept for recovery). Null, with the
    // reason in error, when the document can not be written so.
    virtual std::unique_ptr<DocumentWrite> makeWrite(const std::string& url, const std::string& typeName,
                                                     WriteContent content, std::optional<std::string>* error);
    // makeWrite of what is committed (or of the content as it stands), written at once on the calling thread;
    // false with the reason in error on failure, and the file at url is then as it was.
    bool writeToURL(const std::string& url, const std::string& typeName, std::optional<std::string>* error);
    bool writeCopyToURL(const std::string& url, const std::string& typeName, std::optional<std::string>* error);
    // Puts the content of the file back in place of the document's (no undo step); false with the reason,
    // the document unchanged, on failure.
    virtual bool revertToContentsOfURL(const std::string& url, const std::string& typeName,
                                       std::optional<std::string>* error);
    // What lay beneath the last failed write ("Permission denied"), when known; empty otherwise.
    const std::string& saveErrorDetail() const { return saveErrorDetail_; }
    void setSaveErrorDetail(std::string detail) { saveErrorDetail_ = std::move(detail); }
    // Whether a read of this document failed: such a document is never written over its file.
    bool readFailed() const { return readFailed_; }
    // What the last read left out of a file it could only partly read (a damaged file opened up to the
    // damage, pictures too costly to decode), to be told to the user; empty when the read took the whole file.
    const std::string& readWarning() const { return readWarning_; }
    void setReadWarning(std::string warning) { readWarning_ = std::move(warning); }
    // What was left out of the file's read, known only after its window is up (pictures read beside it): told to
    // the user by the document's observer (the document controller) at once, else kept as the read warning.
    void reportReadWarning(std::string warning);
    void setReadWarningCallback(std::function<void(const std::string&)> callback)
    {
        readWarningReported_ = std::move(callback);
    }
    // Stops what the document does beside its window (reading its pictures): it is closed.
    virtual void stopWork() {}
    // Whether a change is under way (an editing session: a title or a note being typed). Saves write what is
    // committed, as it was before the change began; copies kept for recovery take the change in as it stands.
    virtual bool hasOpenEditingSession() const { return false; }
    // Whether the change under way has changed anything yet.
    virtual bool hasUncommittedChanges() const { return false; }
    // Ends the change under way so that it is kept (called before a document is closed).
    virtual void finishEditing() {}
    // Whether the document writes files of typeName.
    virtual bool canWriteType(const std::string& typeName) const;
    // The type new files of this document are saved as, and its file extension (without the dot).
    virtual std::string defaultSaveType() const { return fileType_; }
    virtual std::string defaultSaveExtension() const { return {}; }

    // Saves through a write of what is committed. On success save and saveAs make url and typeName the
    // document's own, note the file's state and count no change but those made since the save began;
    // autosaveInPlace does the same for the document's own file. A failure changes nothing and leaves the
    // reason in error.
    bool saveToURL(const std::string& url, const std::string& typeName, SaveOperation operation,
                   std::optional<std::string>* error);
    // saveToURL in three steps, so that the write can run on a worker while the document goes on changing:
    // beginSave on the main thread takes the write (null, with the reason in error, when there is none), the
    // save's run() writes on any thread, and endSave on the main thread makes the outcome the document's.
    std::unique_ptr<PendingSave> beginSave(const std::string& url, const std::string& typeName,
                                           SaveOperation operation, std::optional<std::string>* error);
    void endSave(PendingSave& save);
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
    // For the concrete document's reader: set while a read has not completed, so that a document whose read threw
    // is never saved over its file.
    void setReadFailed(bool failed) { readFailed_ = failed; }
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
    bool readFailed_ = false;
    std::string readWarning_;
    std::function<void(const std::string&)> readWarningReported_;
    std::string saveErrorDetail_;
    static std::optional<FileState> currentFileState(const std::string& path);
};

} // namespace velquine
