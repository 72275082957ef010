#include "app/DocumentWindows.h"

#include <QApplication>
#include <QFileInfo>
#include <QPrinter>

#include "app/DocumentWindow.h"
#include "document/FileTypes.h"
#include "document/PrintOperation.h"
#include "document/VQDocument.h"

namespace velquine {

DocumentWindows::DocumentWindows()
    : dialogs_(std::make_unique<DocumentDialogs>()), controller_(std::make_unique<DocumentController>(*this))
{
}

DocumentWindows::~DocumentWindows()
{
    terminateHandler_ = nullptr;
    for (const QPointer<DocumentWindow>& window : windows_)
        delete window.data();
    controller_.reset();
}

std::vector<QWidget*> DocumentWindows::windows() const
{
    std::vector<QWidget*> open;
    for (const QPointer<DocumentWindow>& window : windows_)
        if (window)
            open.push_back(window);
    return open;
}

DocumentWindow* DocumentWindows::windowFor(const Document& document) const
{
    for (const QPointer<DocumentWindow>& window : windows_)
        if (window && window->document().get() == &document)
            return window;
    return nullptr;
}

QString DocumentWindows::name(const Document& document) const
{
    return QString::fromStdString(controller_->displayName(document));
}

QString DocumentWindows::windowTitle(const Document& document) const
{
    return document.isDocumentEdited() ? name(document) + u'*' : name(document);
}

QWidget* DocumentWindows::parentFor(const Document* document) const
{
    if (document)
        if (DocumentWindow* window = windowFor(*document))
            return window;
    return QApplication::activeWindow();
}

void DocumentWindows::printDocument(VQDocument& document)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(document.printOperation()->pageLayout());
    printer.setDocName(name(document));
    if (!dialogs_->runPrintPanel(parentFor(&document), printer))
        return;
    // The paper chosen in the dialog is the one the map is fitted to.
    document.printInfo = printer.pageLayout();
    if (!document.printOperation()->run(printer))
        dialogs_->showPrintError(parentFor(&document), name(document));
}

// ---- Documents and windows ----

std::shared_ptr<Document> DocumentWindows::makeUntitledDocument()
{
    return VQDocument::makeUntitledDocument();
}

std::shared_ptr<Document> DocumentWindows::makeDocument(const std::string& path)
{
    return VQDocument::makeDocumentForURL(path, FileTypes::typeNameForFile(path));
}

void DocumentWindows::showDocument(const std::shared_ptr<Document>& document)
{
    auto vqDocument = std::dynamic_pointer_cast<VQDocument>(document);
    auto* window = new DocumentWindow(vqDocument, windowTitle(*document), this);
    windows_.emplace_back(window);
    window->show();
    window->raise();
    window->activateWindow();
}

void DocumentWindows::bringDocumentForward(Document& document)
{
    if (DocumentWindow* window = windowFor(document)) {
        window->showNormal();
        window->raise();
        window->activateWindow();
    }
}

void DocumentWindows::closeDocumentWindow(Document& document)
{
    if (DocumentWindow* window = windowFor(document)) {
        window->close();
        delete window; // at once: the controller lets the document go with it
    }
}

void DocumentWindows::documentStateChanged(Document& document)
{
    if (DocumentWindow* window = windowFor(document)) {
        window->setWindowTitle(windowTitle(document));
        window->refreshContent();
    }
}

void DocumentWindows::terminate()
{
    if (terminateHandler_)
        terminateHandler_();
}

// ---- Questions ----

std::vector<std::string> DocumentWindows::runOpenPanel()
{
    return dialogs_->runOpenPanel(parentFor(nullptr));
}

std::optional<std::string> DocumentWindows::runSavePanel(Document& document, const std::string& suggestedName)
{
    return dialogs_->runSavePanel(parentFor(&document), QString::fromStdString(suggestedName));
}

SaveChangesAnswer DocumentWindows::askToSaveChanges(Document& document, bool quitting)
{
    bringDocumentForward(document);
    return dialogs_->askToSaveChanges(parentFor(&document), name(document), quitting);
}

bool DocumentWindows::askToOverwriteChangedFile(Document& document)
{
    return dialogs_->askToOverwriteChangedFile(parentFor(&document), name(document));
}

bool DocumentWindows::askToRevert(Document& document)
{
    return dialogs_->askToRevert(parentFor(&document), name(document));
}

void DocumentWindows::showOpenError(const std::string& path, const std::string& reason)
{
    dialogs_->showOpenError(parentFor(nullptr), QFileInfo(QString::fromStdString(path)).fileName(),
                            QString::fromStdString(reason));
}

void DocumentWindows::showSaveError(Document& document, const std::string& reason)
{
    dialogs_->showSaveError(parentFor(&document), name(document), QString::fromStdString(reason));
}

} // namespace velquine
