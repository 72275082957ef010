#pragma once

// The life of the open documents: new, open, save, save as, revert, automatic saves in place, closing and
// quitting without losing work.
//
// One controller serves the program. Each open document is shown in one window; the host (the window side,
// or a test) makes and closes those windows and answers the questions the controller asks the user: which
// files to open, where to save, whether to save changes, whether to overwrite a file another program changed.
//
// Automatic saves: a document with a file it writes and a change not yet saved is saved into its file once no
// change has come for autosaveDelay, or at the latest longestAutosaveDelay after the first change not yet saved
// (so that steady work is saved too), and when its window closes or the program quits. A change under way (a
// title or a note being typed) does not hold the save back: what is committed is saved, and the change under
// way, as it stands, goes into the recovery copy, at the same moments.
//
// Long work (LongWork): an automatic save takes what it writes on the main thread and writes it on a worker
// while the user goes on working; the changes made meanwhile stay unsaved and are saved next. Opening, reverting
// and the other saves read or write on a worker too, but keep the user waiting, with the window repainting
// and the busy cursor shown. A document has at most one write under way: a save asked for meanwhile waits
// for it, an automatic save that comes due meanwhile follows it, and the document's window does not close
// while a wait for the document is under way.
// A document whose read failed is never written over its file. A document without a file (a new one, or one
// made from an imported outline) asks Save / Don't Save / Cancel instead; Cancel keeps it open and stops a
// quit. When the file was changed on disk since the document read or wrote it, an automatic save leaves it
// alone and the next save or close asks before overwriting it. Every failure is shown; a failed save leaves
// the document marked as changed and the file as it was.
//
// Opening: while a file is read the progress window offers Cancel, which stops the read and leaves no window and
// nothing of the file behind (when it was the only map asked for at launch, the program ends); a quit asked for
// in it (Ctrl+Q), and whatever whenNotOpening() is given meanwhile (the program's end on a signal), is done once
// the open has ended, its window shown or not.
//
// Closing: the window asks shouldCloseDocument() before it closes and tells documentWindowClosed() once it
// has; the last document's window closing quits the program.
//
// Recovery (with a recovery folder set): where an automatic save cannot put the changes into the document's
// file (a document without one, a file another program changed, a failed save, a change under way), they are
// copied into the recovery folder at the same moments instead; a copy that cannot be made is shown once, until
// one can be made again. The copy goes once the document has no unsaved changes (saved,
// or undone back to the saved state) and when its window closes after the user was asked (Don't Save); it
// stays when the program ends without closing it (killed, a signal, the session ending). At the next start
// reopenRecoveredDocuments() shows the copies of programs no longer running as edited documents with their
// names as before, at most maximumReopenedCopies at a time, the most recent first; the others wait for later
// starts, and each stays until its map is saved or discarded. A copy that cannot be read is put aside in the
// recovery folder and reported; one that cannot be read for want of room or rights stays where it is.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Document.h"
#include "platform/DocumentRecovery.h"
#include "platform/DocumentWrites.h"

class QTimer;

namespace velquine {

enum class SaveChangesAnswer { save, dontSave, cancel };

// How a report is shown: at once while the program goes on, or waiting until the user has read it, as before a
// question that would otherwise cover it.
enum class ReportTiming { atOnce, untilRead };

class DocumentControllerHost {
public:
    virtual ~DocumentControllerHost() = default;

    // A new empty document, and one read from the file (throws with the reader's message). makeDocument runs on
    // a worker thread: it reads the file into a new document and touches nothing else.
    virtual std::shared_ptr<Document> makeUntitledDocument() = 0;
    virtual std::shared_ptr<Document> makeDocument(const std::string& path) = 0;

    // Windows: make and show one for a document, bring it to the front, close it without asking, and show the
    // document's new name or edited state (unsaved work: a change counted or one under way).
    virtual void showDocument(const std::shared_ptr<Document>& document) = 0;
    virtual void bringDocumentForward(Document& document) = 0;
    virtual void closeDocumentWindow(Document& document) = 0;
    virtual void documentStateChanged(Document& document) = 0;
    // Ends the program (after every document was closed).
    virtual void terminate() = 0;

    // Questions and reports.
    virtual std::vector<std::string> runOpenPanel() = 0;
    virtual std::optional<std::string> runSavePanel(Document& document, const std::string& suggestedName) = 0;
    virtual SaveChangesAnswer askToSaveChanges(Document& document, bool quitting) = 0;
    virtual bool askToOverwriteChangedFile(Document& document) = 0;
    virtual bool askToRevert(Document& document) = 0;
    virtual void showOpenError(const std::string& path, const std::string& reason) = 0;
    // Tells that the file at path, now open as the document, could only partly be read (Document::readWarning()).
    virtual void showOpenWarning(Document& document, const std::string& path, const std::string& reason) = 0;
    virtual void showSaveError(Document& document, const std::string& reason, ReportTiming timing) = 0;
    // The document's unsaved changes could not be copied for recovery.
    virtual void showRecoveryCopyError(Document& document, const std::string& reason) = 0;
    // More copies of unsaved changes than a start reopens are kept in the folder: the count of those left.
    virtual void showRecoveredCopiesLeft(std::size_t count, const std::string& folder) = 0;
};

class DocumentController {
public:
    static constexpr std::chrono::milliseconds defaultAutosaveDelay{5000};
    static constexpr std::chrono::milliseconds defaultLongestAutosaveDelay{10000};
    // A start reopens at most this many copies of unsaved changes, the most recent ones.
    static constexpr std::size_t maximumReopenedCopies = 10;

    explicit DocumentController(DocumentControllerHost& host);
    ~DocumentController();
    DocumentController(const DocumentController&) = delete;
    DocumentController& operator=(const DocumentController&) = delete;

    // The open documents, in the order they were opened.
    const std::vector<std::shared_ptr<Document>>& documents() const { return documents_; }
    // The open document stored in the file at path, or null.
    std::shared_ptr<Document> documentForURL(const std::string& path) const;
    // The file's name, or "Untitled", "Untitled 2", ... for documents without a file.
    std::string displayName(const Document& document) const;

    // At launch: each file in a window of its own, or, with none, one new document.
    void openDocuments(const std::vector<std::string>& paths);
    std::shared_ptr<Document> newDocument();
    // The document in the file: brought forward when already open, else read and shown. Null, with the
    // reason shown, when it cannot be read.
    std::shared_ptr<Document> openDocumentWithContentsOfURL(const std::string& path);
    // Asks for files and opens each.
    void openDocument();
    // Whether a file is being opened (read, or its window made), the user waiting.
    bool isOpening() const { return opening_ > 0; }
    // Runs the action at once, or, while a file is being opened, once the open has ended.
    void whenNotOpening(std::function<void()> action);

    // Into the document's own file (asking where first when it has none); false when cancelled or failed.
    bool saveDocument(Document& document);
    // Asks for a new file (the extension added when missing) and saves the document there.
    bool saveDocumentAs(Document& document);
    // After asking: the file's content back in place of the document's.
    bool revertDocumentToSaved(Document& document);
    // When the program ends by another way than terminate(): the change under way of every document is
    // finished; every document that may be saved in place and whose file no other program changed is saved,
    // and the unsaved changes of the others are copied for recovery, without questions; failures are logged.
    void autosaveAllQuietly();
    // The program is about to end without questions (a termination signal): autosaveAllQuietly(), and from
    // now on every question still open or asked later counts as Cancel, so that nothing is closed or changed.
    void endQuietly();

    // Where copies of unsaved changes are kept; none are kept until it is set. This program's copies are in a
    // folder of their own there, locked while the controller lives.
    void setRecoveryFolder(const std::string& folder);
    // Shows the copies left by programs no longer running as edited documents, the most recent
    // maximumReopenedCopies of them; the number shown. On the next turn of the event loop, copies that cannot be
    // read are reported (put aside, or kept in place when the reason lies in the computer, not in the copy), and
    // so is the number of copies left for later starts.
    int reopenRecoveredDocuments();

    // Whether the document's window may close now: its changes saved, or the user said not to. Asks when it
    // must; false on Cancel.
    bool shouldCloseDocument(Document& document);
    // The document's window has closed: the document is let go; after the last one the program ends.
    void documentWindowClosed(Document& document);
    // Closes every document as shouldCloseDocument allows, then ends the program; false when the user
    // cancelled (nothing is closed then). Asked for while long work keeps the user waiting, it is done once that
    // has ended (and false now).
    bool terminate();

    std::chrono::milliseconds autosaveDelay() const { return autosaveDelay_; }
    void setAutosaveDelay(std::chrono::milliseconds delay) { autosaveDelay_ = delay; }
    // The latest an automatic save comes after the first change not yet saved (never sooner than autosaveDelay).
    std::chrono::milliseconds longestAutosaveDelay() const { return longestAutosaveDelay_; }
    void setLongestAutosaveDelay(std::chrono::milliseconds delay) { longestAutosaveDelay_ = delay; }
    // Whether a write of the document (a save, or a copy of its changes) is under way on a worker.
    bool isWriting(const Document& document) const { return writes_.isWriting(document); }

private:
    friend class OpeningScope;
    // openDocumentWithContentsOfURL, telling whether the user cancelled the read.
    std::shared_ptr<Document> openFile(const std::string& path, bool* cancelled);
    // An untitled document gets the wanted number when no open one has it, else the lowest free one.
    void addDocument(const std::shared_ptr<Document>& document, int wantedUntitledNumber = 0);
    void removeDocument(Document& document);
    // A change counted or one under way: the window shows the document's state, and saves are due once more,
    // or, with nothing left unsaved, no longer.
    void unsavedWorkChanged(Document& document);
    void scheduleAutosave(Document& document);
    // Takes what to save and to copy now and writes it on a worker (or, with a write under way, after it).
    void autosaveTimerFired(Document& document);
    // The copy of the document's unsaved changes, the change under way included, for recovery: null when none
    // is kept or the copy is up to date. takeRecoveryCopy takes it on the main thread; recoveryCopyWritten ends
    // it (a failure logged, and shown once until a copy succeeds again unless quietly is set).
    std::shared_ptr<DocumentRecovery::PendingCopy> takeRecoveryCopy(Document& document, bool quietly);
    void recoveryCopyWritten(Document& document, DocumentRecovery::PendingCopy& copy, bool written,
                             const std::string& error, bool current, bool quietly);
    // The same written at once.
    void writeRecoveryCopy(Document& document, bool quietly);
    void discardRecoveryCopy(Document& document);
    // After each write of the document: a copy no longer wanted goes, and an automatic save that came due
    // meanwhile (autosaveDue) is made.
    void writeEnded(Document& document, bool autosaveDue);
    // Waits, the user waiting too, until the document has no write under way.
    void finishWriting(Document& document);
    // The save into the document's own file, asking first when another program changed it; the error shown
    // with the timing given.
    bool saveInPlace(Document& document, SaveOperation operation, ReportTiming timing = ReportTiming::atOnce);
    // The open document, held while a call that waits may see its window close.
    std::shared_ptr<Document> hold(const Document& document) const;
    bool reviewChanges(Document& document, bool quitting);
    std::string suggestedSaveName(const Document& document) const;

    DocumentControllerHost& host_;
    std::vector<std::shared_ptr<Document>> documents_;
    std::map<const Document*, int> untitledNumbers_;
    std::map<const Document*, std::unique_ptr<QTimer>> autosaveTimers_;
    // When the first change not yet saved (or copied) came.
    std::map<const Document*, std::chrono::steady_clock::time_point> firstUnsavedChange_;
    // Counts the changes of each document's unsaved work, so that a write can tell whether any came while it ran.
    std::map<const Document*, std::uint64_t> changeGenerations_;
    DocumentWrites writes_;
    // Shared with the copies under way.
    std::shared_ptr<DocumentRecovery> recovery_;
    std::map<const Document*, DocumentRecovery::Entry> recoveryEntries_;
    // Documents whose copy holds their present content.
    std::set<const Document*> recoveryCurrent_;
    std::set<const Document*> autosaveErrorShown_;
    std::set<const Document*> recoveryErrorShown_;
    std::set<const Document*> closeApproved_;
    std::chrono::milliseconds autosaveDelay_ = defaultAutosaveDelay;
    std::chrono::milliseconds longestAutosaveDelay_ = defaultLongestAutosaveDelay;
    bool terminating_ = false;
    bool endingQuietly_ = false;
    // Set once terminate() has closed every document: nothing more is opened.
    bool terminated_ = false;
    // The opens under way, and what waits for their end.
    int opening_ = 0;
    std::vector<std::function<void()>> afterOpening_;
    bool quitAfterOpening_ = false;
    bool quitWhenNotBusy_ = false;
    // Gone with the controller: calls posted for later do nothing then.
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

} // namespace velquine
