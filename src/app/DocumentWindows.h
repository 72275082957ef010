#pragma once

// The window side of the open documents: one window per document, made, found, brought forward and closed
// for the document controller, the document's name and edited mark in its title, and the controller's
// questions answered through the dialogs (which tests replace).
//
// Any top-level widget can be a document's window: the window maker builds it (with the document's File
// commands, DocumentCommands, in its responder chain), and this class links it to the controller: closing it
// asks the controller first, and the controller lets the document go when the window is destroyed.

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "app/DocumentDialogs.h"
#include "platform/DocumentController.h"

namespace velquine {

class VQDocument;

class DocumentWindows : public DocumentControllerHost {
public:
    DocumentWindows();
    ~DocumentWindows() override;

    // Makes the window of a document; the title is the document's name.
    using WindowMaker = std::function<QWidget*(const std::shared_ptr<VQDocument>& document, const QString& title,
                                               DocumentWindows& windows)>;

    DocumentController& controller() { return *controller_; }
    void setWindowMaker(WindowMaker maker) { windowMaker_ = std::move(maker); }
    DocumentDialogs& dialogs() { return *dialogs_; }
    void setDialogs(std::unique_ptr<DocumentDialogs> dialogs) { dialogs_ = std::move(dialogs); }
    // What ending the program does (nothing until the application sets it).
    void setTerminateHandler(std::function<void()> handler) { terminateHandler_ = std::move(handler); }

    // The document windows that are still there, in the order they were made.
    std::vector<QWidget*> windows() const;
    QWidget* windowFor(const Document& document) const;
    // The document's name in its window's title, with "*" after it while it has unsaved work: a change not
    // saved yet, or one under way.
    QString windowTitle(const Document& document) const;

    // Lets the user choose the paper that printing the document uses from then on (kept with the open
    // document, not in its file).
    void runPageLayout(VQDocument& document);
    // Prints the map through the print panel; a failure is reported.
    void printDocument(VQDocument& document);

    // DocumentControllerHost
    std::shared_ptr<Document> makeUntitledDocument() override;
    std::shared_ptr<Document> makeDocument(const std::string& path) override;
    void showDocument(const std::shared_ptr<Document>& document) override;
    void bringDocumentForward(Document& document) override;
    void closeDocumentWindow(Document& document) override;
    void documentStateChanged(Document& document) override;
    void terminate() override;
    std::vector<std::string> runOpenPanel() override;
    std::optional<std::string> runSavePanel(Document& document, const std::string& suggestedName) override;
    SaveChangesAnswer askToSaveChanges(Document& document, bool quitting) override;
    bool askToOverwriteChangedFile(Document& document) override;
    bool askToRevert(Document& document) override;
    void showOpenError(const std::string& path, const std::string& reason) override;
    void showOpenWarning(Document& document, const std::string& path, const std::string& reason) override;
    void showSaveError(Document& document, const std::string& reason, ReportTiming timing) override;
    void showRecoveryCopyError(Document& document, const std::string& reason) override;
    void showRecoveredCopiesLeft(std::size_t count, const std::string& folder) override;

private:
    QString name(const Document& document) const;
    // The document's window, else the active window: the parent of a question.
    QWidget* parentFor(const Document* document) const;
    // Closing the window asks the controller; its end lets the document go.
    void link(QWidget* window, const std::shared_ptr<Document>& document);

    struct Entry {
        QPointer<QWidget> window;
        const Document* document;
    };
    std::unique_ptr<DocumentDialogs> dialogs_;
    std::function<void()> terminateHandler_;
    WindowMaker windowMaker_;
    std::vector<Entry> windows_;
    // Made last, so it goes first: it holds this host.
    std::unique_ptr<DocumentController> controller_;
};

} // namespace velquine
