#include "platform/DocumentController.h"

#include <algorithm>
#include <utility>

#include <QFileInfo>
#include <QObject>
#include <QTimer>

#include "platform/Log.h"
#include "platform/LongWork.h"
#include "platform/PictureReading.h"
#include "platform/RecentDocuments.h"
#include "platform/RunLoop.h"

namespace velquine {

namespace {

QFileInfo fileInfo(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path));
}

// The path by which two names of one file compare equal.
std::string canonicalPath(const std::string& path)
{
    const QFileInfo info = fileInfo(path);
    const QString canonical = info.canonicalFilePath();
    return (canonical.isEmpty() ? info.absoluteFilePath() : canonical).toStdString();
}

bool endsWithExtension(const std::string& path, const std::string& extension)
{
    return fileInfo(path).suffix().compare(QString::fromStdString(extension), Qt::CaseInsensitive) == 0;
}

// What the progress window says while a file is read or written.
std::string openingText(const std::string& name)
{
    return QObject::tr("Opening \u201c%1\u201d\u2026").arg(QString::fromStdString(name)).toStdString();
}

std::string savingText(const std::string& name)
{
    return QObject::tr("Saving \u201c%1\u201d\u2026").arg(QString::fromStdString(name)).toStdString();
}

std::string untitledName(int number)
{
    const QString untitled = QObject::tr("Untitled");
    return (number <= 1 ? untitled : untitled + QStringLiteral(" %1").arg(number)).toStdString();
}

} // namespace

// Counts an open under way; at the end of the last one, what waited for it runs.
class OpeningScope {
public:
    explicit OpeningScope(DocumentController& controller) : controller_(controller) { ++controller_.opening_; }
    ~OpeningScope()
    {
        if (--controller_.opening_ > 0)
            return;
        for (std::function<void()>& action : std::exchange(controller_.afterOpening_, {}))
            action();
    }
    OpeningScope(const OpeningScope&) = delete;
    OpeningScope& operator=(const OpeningScope&) = delete;

private:
    DocumentController& controller_;
};

DocumentController::DocumentController(DocumentControllerHost& host) : host_(host)
{
    writes_.setAfterWrite([this](Document& document, bool autosaveDue) { writeEnded(document, autosaveDue); });
}

DocumentController::~DocumentController()
{
    for (const auto& document : documents_) {
        document->setChangeCountCallback(nullptr);
        document->setUncommittedChangesCallback(nullptr);
    }
    alive_.reset();
}

std::shared_ptr<Document> DocumentController::hold(const Document& document) const
{
    for (const auto& open : documents_)
        if (open.get() == &document)
            return open;
    return nullptr;
}


std::shared_ptr<Document> DocumentController::documentForURL(const std::string& path) const
{
    const std::string wanted = canonicalPath(path);
    for (const auto& document : documents_)
        if (document->fileURL() && canonicalPath(*document->fileURL()) == wanted)
            return document;
    return nullptr;
}

std::string DocumentController::displayName(const Document& document) const
{
    if (document.fileURL())
        return fileInfo(*document.fileURL()).fileName().toStdString();
    const auto found = untitledNumbers_.find(&document);
    return untitledName(found == untitledNumbers_.end() ? 1 : found->second);
}

// ---- Opening ----

void DocumentController::addDocument(const std::shared_ptr<Document>& document, int wantedUntitledNumber)
{
    if (!document->fileURL()) {
        const auto taken = [this](int number) {
            return std::any_of(untitledNumbers_.begin(), untitledNumbers_.end(),
                               [number](const auto& entry) { return entry.second == number; });
        };
        // The lowest number no open untitled document has.
        int number = wantedUntitledNumber > 0 && !taken(wantedUntitledNumber) ? wantedUntitledNumber : 1;
        while (taken(number))
            ++number;
        untitledNumbers_[document.get()] = number;
    }
    documents_.push_back(document);
    Document* raw = document.get();
    document->setChangeCountCallback([this, raw] { unsavedWorkChanged(*raw); });
    document->setUncommittedChangesCallback([this, raw] { unsavedWorkChanged(*raw); });
    document->setReadWarningCallback([this, raw](const std::string& warning) {
        if (!terminating_ && !terminated_ && !endingQuietly_)
            host_.showOpenWarning(*raw, raw->fileURL().value_or(displayName(*raw)), warning);
    });
    host_.showDocument(document);
}

void DocumentController::openDocuments(const std::vector<std::string>& paths)
{
    if (paths.empty()) {
        newDocument();
        return;
    }
    std::size_t cancelled = 0;
    for (const std::string& path : paths) {
        if (terminated_ || endingQuietly_)
            return;
        bool cancelledNow = false;
        openFile(path, &cancelledNow);
        cancelled += cancelledNow;
    }
    // A program without a window could not be used: when the user cancelled every open, it ends.
    if (cancelled == paths.size() && documents_.empty() && !terminated_ && !endingQuietly_)
        host_.terminate();
}

void DocumentController::whenNotOpening(std::function<void()> action)
{
    if (opening_ > 0)
        afterOpening_.push_back(std::move(action));
    else
        action();
}

std::shared_ptr<Document> DocumentController::newDocument()
{
    std::shared_ptr<Document> document = host_.makeUntitledDocument();
    addDocument(document);
    return document;
}

std::shared_ptr<Document> DocumentController::openDocumentWithContentsOfURL(const std::string& path)
{
    bool cancelled = false;
    return openFile(path, &cancelled);
}

std::shared_ptr<Document> DocumentController::openFile(const std::string& path, bool* cancelled)
{
    if (std::shared_ptr<Document> open = documentForURL(path)) {
        host_.bringDocumentForward(*open);
        return open;
    }
    const auto fail = [&](const std::string& reason) {
        VQ_LOG("openDocument(withContentsOf:)", "cannot open " + path + ": " + reason);
        host_.showOpenError(path, reason);
        return nullptr;
    };
    const QFileInfo file = fileInfo(path);
    if (!file.isFile())
        return fail(file.isDir() ? QObject::tr("It is a folder, not a file.").toStdString()
                                 : QObject::tr("There is no such file.").toStdString());
    const OpeningScope opening(*this);
    std::shared_ptr<Document> document;
    const std::string name = fileInfo(path).fileName().toStdString();
    // The user may cancel the read, or ask to quit once the open has ended.
    LongWork::Offer offer;
    offer.cancel = [] {};
    offer.quit = [this] {
        // The pictures being read stop at once, so that the open ends now.
        PictureReading::stopAll();
        if (!std::exchange(quitAfterOpening_, true))
            whenNotOpening([this] {
                quitAfterOpening_ = false;
                terminate();
            });
    };
    try {
        // Read on a worker, the user waiting.
        LongWork::wait(openingText(name), [&] { document = host_.makeDocument(path); }, offer);
    } catch (const LongWork::Cancelled&) {
        VQ_LOG("openDocument(withContentsOf:)", "the open of " + path + " was cancelled");
        *cancelled = true;
        return nullptr;
    } catch (const std::exception& error) {
        return fail(error.what());
    }
    document->noteFileState();
    RecentDocuments::note(path);
    {
        // Its window is made on the main thread.
        LongWork::Busy busy(openingText(name));
        addDocument(document);
    }
    if (const std::string warning = document->readWarning(); !warning.empty())
        host_.showOpenWarning(*document, path, warning);
    return document;
}

void DocumentController::openDocument()
{
    for (const std::string& path : host_.runOpenPanel())
        openDocumentWithContentsOfURL(path);
}

// ---- Saving ----

bool DocumentController::saveInPlace(Document& document, SaveOperation operation, ReportTiming timing)
{
    finishWriting(document);
    if (document.fileChangedOnDisk() && (!host_.askToOverwriteChangedFile(document) || endingQuietly_))
        return false;
    const std::shared_ptr<Document> held = hold(document);
    std::optional<std::string> error;
    if (!writes_.save(document, *document.fileURL(), document.fileType(), operation, savingText(displayName(document)),
                      &error)) {
        host_.showSaveError(document, error.value_or(""), timing);
        return false;
    }
    autosaveErrorShown_.erase(&document);
    RecentDocuments::note(*document.fileURL());
    return true;
}

bool DocumentController::saveDocument(Document& document)
{
    document.finishEditing();
    if (!document.fileURL() || document.readFailed() || !document.canWriteType(document.fileType()))
        return saveDocumentAs(document);
    return saveInPlace(document, SaveOperation::save);
}

std::string DocumentController::suggestedSaveName(const Document& document) const
{
    const std::string extension = document.defaultSaveExtension();
    std::string name = document.fileURL() ? fileInfo(*document.fileURL()).completeBaseName().toStdString()
                                          : displayName(document);
    return extension.empty() ? name : name + "." + extension;
}

bool DocumentController::saveDocumentAs(Document& document)
{
    document.finishEditing();
    std::optional<std::string> path = host_.runSavePanel(document, suggestedSaveName(document));
    if (!path || path->empty() || endingQuietly_)
        return false;
    const std::string extension = document.defaultSaveExtension();
    if (!extension.empty() && !endsWithExtension(*path, extension))
        *path += "." + extension;
    const std::shared_ptr<Document> held = hold(document);
    std::optional<std::string> error;
    if (!writes_.save(document, *path, document.defaultSaveType(), SaveOperation::saveAs,
                      savingText(fileInfo(*path).fileName().toStdString()), &error)) {
        host_.showSaveError(document, error.value_or(""), ReportTiming::atOnce);
        return false;
    }
    autosaveErrorShown_.erase(&document);
    untitledNumbers_.erase(&document);
    RecentDocuments::note(*path);
    host_.documentStateChanged(document);
    return true;
}

bool DocumentController::revertDocumentToSaved(Document& document)
{
    if (!document.fileURL() || !host_.askToRevert(document) || endingQuietly_)
        return false;
    const std::shared_ptr<Document> held = hold(document);
    finishWriting(document);
    std::optional<std::string> error;
    const bool reverted = [&] {
        const DocumentWrites::Waiting waiting(writes_, document);
        return document.revertToSaved(&error);
    }();
    if (!reverted) {
        host_.showOpenError(*document.fileURL(), error.value_or(""));
        return false;
    }
    return true;
}

void DocumentController::finishWriting(Document& document)
{
    const std::shared_ptr<Document> held = hold(document);
    writes_.finish(document, savingText(displayName(document)));
}

// ---- Recovery ----

void DocumentController::setRecoveryFolder(const std::string& folder)
{
    recoveryEntries_.clear();
    recoveryCurrent_.clear();
    recovery_ = std::make_shared<DocumentRecovery>(folder);
}

std::shared_ptr<DocumentRecovery::PendingCopy> DocumentController::takeRecoveryCopy(Document& document, bool quietly)
{
    if (!recovery_ || !document.hasUnsavedWork() || document.readFailed() || recoveryCurrent_.contains(&document))
        return nullptr;
    DocumentRecovery::Entry& entry = recoveryEntries_[&document];
    if (entry.id.empty())
        entry.id = DocumentRecovery::newId();
    entry.fileURL = document.fileURL();
    entry.fileType = document.fileType();
    const auto number = untitledNumbers_.find(&document);
    entry.untitledNumber = number == untitledNumbers_.end() ? 0 : number->second;
    entry.fileState = document.notedFileState();
    std::string error;
    std::shared_ptr<DocumentRecovery::PendingCopy> copy = recovery_->takeCopy(document, entry, &error);
    if (!copy) {
        VQ_LOG("autosave()", "the unsaved changes of " + displayName(document) + " could not be copied: " + error);
        if (!quietly && recoveryErrorShown_.insert(&document).second)
            host_.showRecoveryCopyError(document, error);
    }
    return copy;
}

void DocumentController::recoveryCopyWritten(Document& document, DocumentRecovery::PendingCopy& copy, bool written,
                                             const std::string& error, bool current, bool quietly)
{
    copy.finish();
    if (written) {
        // A copy of what stood before a change made meanwhile is kept, but is not up to date.
        if (current)
            recoveryCurrent_.insert(&document);
        recoveryErrorShown_.erase(&document);
        return;
    }
    VQ_LOG("autosave()", "the unsaved changes of " + displayName(document) + " could not be copied: " + error);
    if (!quietly && recoveryErrorShown_.insert(&document).second) // once until a copy works again
        host_.showRecoveryCopyError(document, error);
}

void DocumentController::writeRecoveryCopy(Document& document, bool quietly)
{
    const std::shared_ptr<DocumentRecovery::PendingCopy> copy = takeRecoveryCopy(document, quietly);
    if (!copy)
        return;
    std::string error;
    const bool written = copy->run(&error);
    recoveryCopyWritten(document, *copy, written, error, true, quietly);
}

void DocumentController::discardRecoveryCopy(Document& document)
{
    const auto found = recoveryEntries_.find(&document);
    if (found == recoveryEntries_.end())
        return;
    if (recovery_)
        recovery_->remove(found->second);
    recoveryEntries_.erase(found);
    recoveryCurrent_.erase(&document);
}

int DocumentController::reopenRecoveredDocuments()
{
    if (!recovery_)
        return 0;
    const OpeningScope opening(*this);
    DocumentRecovery::TakenOver taken = recovery_->takeOver(maximumReopenedCopies);
    std::vector<DocumentRecovery::Entry>& entries = taken.entries;
    // Untitled documents first, by their numbers, as they were made.
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return std::pair(a.fileURL.has_value(), a.untitledNumber) < std::pair(b.fileURL.has_value(), b.untitledNumber);
    });
    int reopened = 0;
    std::vector<std::pair<std::string, std::string>> unreadable;
    for (DocumentRecovery::Entry& entry : entries) {
        const std::string name = entry.fileURL ? *entry.fileURL : untitledName(entry.untitledNumber);
        std::shared_ptr<Document> document;
        try {
            LongWork::wait(openingText(fileInfo(name).fileName().toStdString()),
                           [&] { document = host_.makeDocument(entry.contentPath); });
        } catch (const EnvironmentError& error) {
            // Nothing is wrong with the copy: it stays, and the next start takes it up again.
            VQ_LOG("reopenRecoveredDocuments()", "cannot read the copy of " + name + " now: " + error.what());
            unreadable.emplace_back(name, QObject::tr("The copy of its unsaved changes kept from an earlier session "
                                                      "can not be opened now: %1\nThe copy is kept, and Velquine "
                                                      "opens it again at its next start.")
                                              .arg(QString::fromStdString(error.what()))
                                              .toStdString());
            continue;
        } catch (const std::exception& error) {
            const std::string kept = recovery_->putAside(entry);
            VQ_LOG("reopenRecoveredDocuments()", "cannot read the copy of " + name + ", kept in " + kept + ": "
                                                     + error.what());
            unreadable.emplace_back(name, QObject::tr("The copy of its unsaved changes kept from an earlier session "
                                                      "can not be read: %1\nThe copy was kept in “%2”.")
                                              .arg(QString::fromStdString(error.what()), QString::fromStdString(kept))
                                              .toStdString());
            continue;
        }
        document->setFileURL(entry.fileURL);
        if (!entry.fileType.empty())
            document->setFileType(entry.fileType);
        document->setNotedFileState(entry.fileState);
        document->updateChangeCount(DocumentChange::done);
        recoveryEntries_[document.get()] = entry;
        recoveryCurrent_.insert(document.get());
        addDocument(document, entry.untitledNumber);
        ++reopened;
    }
    // Once the windows of this start are shown, so that none of them covers the reports.
    const std::size_t left = taken.left;
    if (!unreadable.empty() || left > 0)
        RunLoop::post([this, alive = std::weak_ptr<const bool>(alive_), unreadable, left] {
            if (!alive.lock())
                return;
            for (const auto& [name, reason] : unreadable)
                host_.showOpenError(name, reason);
            if (left > 0 && recovery_)
                host_.showRecoveredCopiesLeft(left, recovery_->folder());
        });
    return reopened;
}

// ---- Closing and quitting ----

bool DocumentController::reviewChanges(Document& document, bool quitting)
{
    if (endingQuietly_)
        return false;
    finishWriting(document);
    document.finishEditing();
    if (!document.isDocumentEdited())
        return true;
    const bool inPlace = document.canAutosaveInPlace();
    // A failure is read before the question that follows it.
    if (inPlace && saveInPlace(document, SaveOperation::autosaveInPlace, ReportTiming::untilRead))
        return true;
    const SaveChangesAnswer answer = host_.askToSaveChanges(document, quitting);
    if (endingQuietly_)
        return false;
    switch (answer) {
    case SaveChangesAnswer::save:
        // Where saving in place failed or was refused, the user picks another file.
        return inPlace ? saveDocumentAs(document) : saveDocument(document);
    case SaveChangesAnswer::dontSave:
        return true;
    case SaveChangesAnswer::cancel:
        return false;
    }
    return false;
}

bool DocumentController::shouldCloseDocument(Document& document)
{
    if (closeApproved_.contains(&document))
        return true;
    // A wait for the document is under way (its save, its revert), or long work that a command on some map
    // waits for (parting thousands of pasted nodes): the window stays until that has ended, as the command goes
    // on with its map afterwards.
    if (writes_.isWaitedFor(document) || LongWork::busy())
        return false;
    if (!reviewChanges(document, false))
        return false;
    closeApproved_.insert(&document);
    return true;
}

void DocumentController::removeDocument(Document& document)
{
    finishWriting(document);
    document.stopWork();
    document.setChangeCountCallback(nullptr);
    document.setUncommittedChangesCallback(nullptr);
    document.setReadWarningCallback(nullptr);
    // Closed after asking (Don't Save): the copy is not wanted. Closed by the program's end: it stays.
    if (closeApproved_.contains(&document))
        discardRecoveryCopy(document);
    recoveryEntries_.erase(&document);
    recoveryCurrent_.erase(&document);
    firstUnsavedChange_.erase(&document);
    autosaveTimers_.erase(&document);
    changeGenerations_.erase(&document);
    writes_.forget(document);
    untitledNumbers_.erase(&document);
    autosaveErrorShown_.erase(&document);
    recoveryErrorShown_.erase(&document);
    closeApproved_.erase(&document);
    std::erase_if(documents_, [&](const std::shared_ptr<Document>& open) { return open.get() == &document; });
}

void DocumentController::documentWindowClosed(Document& document)
{
    const auto found = std::find_if(documents_.begin(), documents_.end(),
                                    [&](const std::shared_ptr<Document>& open) { return open.get() == &document; });
    if (found == documents_.end())
        return;
    const std::shared_ptr<Document> keep = *found; // alive until it is let go completely
    removeDocument(document);
    if (documents_.empty() && !terminating_)
        host_.terminate();
}

bool DocumentController::terminate()
{
    if (terminating_)
        return false;
    // Asked for inside the loop of long work (a wait, an export drawing its map): the windows it works for stay
    // until it has ended, and the program ends then.
    if (LongWork::busy()) {
        if (!std::exchange(quitWhenNotBusy_, true))
            LongWork::whenNotBusy([this, alive = std::weak_ptr(alive_)] {
                if (alive.expired())
                    return;
                quitWhenNotBusy_ = false;
                terminate();
            });
        return false;
    }
    const std::vector<std::shared_ptr<Document>> open = documents_;
    for (const auto& document : open) {
        if (!reviewChanges(*document, true)) {
            // The maps the user chose not to save stay open after all: their automatic saves are due again.
            const std::set<const Document*> approved = std::exchange(closeApproved_, {});
            for (const auto& kept : open)
                if (approved.contains(kept.get()) && kept->hasUnsavedWork())
                    scheduleAutosave(*kept);
            return false;
        }
        closeApproved_.insert(document.get());
    }
    terminating_ = true;
    for (const auto& document : open) {
        host_.closeDocumentWindow(*document);
        documentWindowClosed(*document); // in case the window was gone already
    }
    terminating_ = false;
    terminated_ = true;
    host_.terminate();
    return true;
}

} // namespace velquine
