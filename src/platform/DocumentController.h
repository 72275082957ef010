#pragma once

// The life of the open documents: new, open, save, save as, revert, automatic saves in place, closing and
// quitting without losing work.
//
// One controller serves the program. Each open document is shown in one window; the host (the window side,
// or a test) makes and closes those windows and answers the questions the controller asks the user: which
// files to open, where to save, whether to save changes, whether to overwrite a file another program changed.
//
// Automatic saves: a document with a file it writes, a change not yet saved and no change under way is saved
// into its file once no change has come for autosaveDelay, and when its window closes or the program quits.
// A document whose read failed is never written over its file. A document without a file (a new one, or one
// made from an imported outline) asks Save / Don't Save / Cancel instead; Cancel keeps it open and stops a
// quit. When the file was changed on disk since the document read or wrote it, an automatic save leaves it
// alone and the next save or close asks before overwriting it. Every failure is shown; a failed save leaves
// the document marked as changed and the file as it was.
//
// Closing: the window asks shouldCloseDocument() before it closes and tells documentWindowClosed() once it
// has; the last document's window closing quits the program.

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Document.h"

class QTimer;

namespace velquine {

enum class SaveChangesAnswer { save, dontSave, cancel };

class DocumentControllerHost {
public:
    virtual ~DocumentControllerHost() = default;

    // A new empty document, and one read from the file (throws with the reader's message).
    virtual std::shared_ptr<Document> makeUntitledDocument() = 0;
    virtual std::shared_ptr<Document> makeDocument(const std::string& path) = 0;

    // Windows: make and show one for a document, bring it to the front, close it without asking, and show the
    // document's new name or edited state.
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
    virtual void showSaveError(Document& document, const std::string& reason) = 0;
};

class DocumentController {
public:
    static constexpr std::chrono::milliseconds defaultAutosaveDelay{5000};

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

    // Into the document's own file (asking where first when it has none); false when cancelled or failed.
    bool saveDocument(Document& document);
    // Asks for a new file (the extension added when missing) and saves the document there.
    bool saveDocumentAs(Document& document);
    // After asking: the file's content back in place of the document's.
    bool revertDocumentToSaved(Document& document);
    // When the program ends by another way than terminate(): every document that may be saved in place and
    // whose file no other program changed is saved, without questions; failures are logged.
    void autosaveAllQuietly();

    // Whether the document's window may close now: its changes saved, or the user said not to. Asks when it
    // must; false on Cancel.
    bool shouldCloseDocument(Document& document);
    // The document's window has closed: the document is let go; after the last one the program ends.
    void documentWindowClosed(Document& document);
    // Closes every document as shouldCloseDocument allows, then ends the program; false when the user
    // cancelled (nothing is closed then).
    bool terminate();

    std::chrono::milliseconds autosaveDelay() const { return autosaveDelay_; }
    void setAutosaveDelay(std::chrono::milliseconds delay) { autosaveDelay_ = delay; }

private:
    void addDocument(const std::shared_ptr<Document>& document);
    void removeDocument(Document& document);
    void changeCountChanged(Document& document);
    void scheduleAutosave(Document& document);
    void autosaveTimerFired(Document& document);
    // The save into the document's own file, asking first when another program changed it; the error shown.
    bool saveInPlace(Document& document, SaveOperation operation);
    bool reviewChanges(Document& document, bool quitting);
    std::string suggestedSaveName(const Document& document) const;

    DocumentControllerHost& host_;
    std::vector<std::shared_ptr<Document>> documents_;
    std::map<const Document*, int> untitledNumbers_;
    std::map<const Document*, QTimer*> autosaveTimers_;
    std::set<const Document*> autosaveErrorShown_;
    std::set<const Document*> closeApproved_;
    std::chrono::milliseconds autosaveDelay_ = defaultAutosaveDelay;
    bool terminating_ = false;
};

} // namespace velquine
