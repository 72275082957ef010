#include "app/DocumentWindows.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QPrinter>

#include "app/DocumentCommands.h"
#include "app/DocumentWindow.h"
#include "document/DocumentFactory.h"
#include "document/FileTypes.h"
#include "document/PrintOperation.h"
#include "document/VQDocument.h"
#include "kit/WindowPlacement.h"
#include "platform/LongWork.h"
#include "platform/WindowFrames.h"

namespace velquine {

namespace {

// Asks the controller before the window closes, and keeps the window's frame for its file when it does.
class CloseGuard : public QObject {
public:
    CloseGuard(QWidget* window, DocumentController& controller, std::weak_ptr<Document> document)
        : QObject(window), controller_(controller), document_(std::move(document))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Close || watched != parent())
            return false;
        const std::shared_ptr<Document> document = document_.lock();
        if (document && !controller_.shouldCloseDocument(*document)) {
            event->ignore();
            return true;
        }
        if (document && document->fileURL())
            WindowFrames::note(*document->fileURL(),
                               static_cast<QWidget*>(watched)->saveGeometry().toBase64().toStdString());
        return false;
    }

private:
    DocumentController& controller_;
    std::weak_ptr<Document> document_;
};

// The document window the user used last: the active one, else the one made last.
QWidget* lastUsedWindow(const std::vector<QWidget*>& windows)
{
    for (QWidget* window : windows)
        if (window->isActiveWindow())
            return window;
    return windows.empty() ? nullptr : windows.back();
}

} // namespace

DocumentWindows::DocumentWindows()
    : dialogs_(std::make_unique<DocumentDialogs>()),
      windowMaker_([](const std::shared_ptr<VQDocument>& document, const QString& title, DocumentWindows& windows) {
          return new DocumentWindow(document, title, std::make_unique<DocumentCommands>(document, windows));
      }),
      controller_(std::make_unique<DocumentController>(*this))
{
}

DocumentWindows::~DocumentWindows()
{
    terminateHandler_ = nullptr;
    for (const Entry& entry : windows_)
        delete entry.window.data();
    controller_.reset();
}

std::vector<QWidget*> DocumentWindows::windows() const
{
    std::vector<QWidget*> open;
    for (const Entry& entry : windows_)
        if (entry.window)
            open.push_back(entry.window);
    return open;
}

QWidget* DocumentWindows::windowFor(const Document& document) const
{
    for (const Entry& entry : windows_)
        if (entry.window && entry.document == &document)
            return entry.window;
    return nullptr;
}

void DocumentWindows::link(QWidget* window, const std::shared_ptr<Document>& document)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    new CloseGuard(window, *controller_, document);
    QObject::connect(window, &QObject::destroyed, [this, weak = std::weak_ptr<Document>(document)] {
        if (const std::shared_ptr<Document> gone = weak.lock())
            controller_->documentWindowClosed(*gone);
    });
    std::erase_if(windows_, [](const Entry& entry) { return !entry.window; });
    windows_.push_back({window, document.get()});
}

QString DocumentWindows::name(const Document& document) const
{
    return QString::fromStdString(controller_->displayName(document));
}

QString DocumentWindows::windowTitle(const Document& document) const
{
    // A change under way (a title being typed) is unsaved too, though an automatic save has written the rest.
    return document.hasUnsavedWork() ? name(document) + u'*' : name(document);
}

QWidget* DocumentWindows::parentFor(const Document* document) const
{
    if (document)
        if (QWidget* window = windowFor(*document))
            return window;
    return QApplication::activeWindow();
}

void DocumentWindows::runPageLayout(VQDocument& document)
{
    QPageLayout layout = document.printInfo;
    if (dialogs_->runPageLayout(parentFor(&document), layout))
        document.printInfo = layout;
}

void DocumentWindows::printDocument(VQDocument& document)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(printOperation(document)->pageLayout());
    printer.setDocName(name(document));
    if (!dialogs_->runPrintPanel(parentFor(&document), printer))
        return;
    // The paper chosen in the dialog is the one the map is fitted to.
    document.printInfo = printer.pageLayout();
    bool printed = false;
    {
        const LongWork::Busy busy(QObject::tr("Printing \u201c%1\u201d\u2026").arg(name(document)).toStdString());
        printed = printOperation(document)->run(printer);
    }
    if (!printed)
        dialogs_->showPrintError(parentFor(&document), name(document));
}

// ---- Documents and windows ----

std::shared_ptr<Document> DocumentWindows::makeUntitledDocument()
{
    return DocumentFactory::makeUntitledDocument();
}

std::shared_ptr<Document> DocumentWindows::makeDocument(const std::string& path)
{
    return DocumentFactory::makeDocumentForURL(path, FileTypes::typeNameForFile(path));
}

void DocumentWindows::showDocument(const std::shared_ptr<Document>& document)
{
    const std::vector<QWidget*> others = windows();
    QWidget* window = windowMaker_(std::dynamic_pointer_cast<VQDocument>(document), windowTitle(*document), *this);
    link(window, document);
    // Where and how large the document's window was when it last closed, else a step on from the last window;
    // wholly on the screen either way.
    const std::optional<std::string> frame = document->fileURL() ? WindowFrames::frame(*document->fileURL()) : std::nullopt;
    if (!frame || !window->restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(*frame))))
        WindowPlacement::placeCascaded(window, lastUsedWindow(others));
    WindowPlacement::fitOnScreen(window);
    window->show();
    window->raise();
    window->activateWindow();
}

void DocumentWindows::bringDocumentForward(Document& document)
{
    if (QWidget* window = windowFor(document)) {
        window->showNormal();
        window->raise();
        window->activateWindow();
    }
}

void DocumentWindows::closeDocumentWindow(Document& document)
{
    if (QWidget* window = windowFor(document)) {
        window->close();
        delete window; // at once: the controller lets the document go with it
    }
}

void DocumentWindows::documentStateChanged(Document& document)
{
    if (QWidget* window = windowFor(document)) {
        window->setWindowTitle(windowTitle(document));
        if (auto* plain = qobject_cast<DocumentWindow*>(window))
            plain->refreshContent();
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
    // Save As starts beside the document's own file.
    const QString folder =
        document.fileURL() ? QFileInfo(QString::fromStdString(*document.fileURL())).absolutePath() : QString();
    return dialogs_->runSavePanel(parentFor(&document), QString::fromStdString(suggestedName), folder);
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

void DocumentWindows::showOpenWarning(Document& document, const std::string& path, const std::string& reason)
{
    dialogs_->showOpenWarning(parentFor(&document), QFileInfo(QString::fromStdString(path)).fileName(),
                              QString::fromStdString(reason));
}

void DocumentWindows::showSaveError(Document& document, const std::string& reason, ReportTiming timing)
{
    // The fixed text of the failure, then its cause.
    const std::string detail = document.saveErrorDetail();
    const std::string shown = detail.empty() || reason.find(detail) != std::string::npos ? reason : reason + "\n" + detail;
    dialogs_->showSaveError(parentFor(&document), name(document), QString::fromStdString(shown), timing);
}

void DocumentWindows::showRecoveryCopyError(Document& document, const std::string& reason)
{
    dialogs_->showRecoveryCopyError(parentFor(&document), name(document), QString::fromStdString(reason));
}

void DocumentWindows::showRecoveredCopiesLeft(std::size_t count, const std::string& folder)
{
    dialogs_->showRecoveredCopiesLeft(parentFor(nullptr), count, QString::fromStdString(folder));
}

} // namespace velquine
