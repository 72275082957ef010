#include "platform/DocumentController.h"

#include <algorithm>

#include <QFileInfo>
#include <QObject>
#include <QTimer>

#include "platform/Log.h"
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

std::string untitledName(int number)
{
    const QString untitled = QObject::tr("Untitled");
    return (number <= 1 ? untitled : untitled + QStringLiteral(" %1").arg(number)).toStdString();
}

} // namespace

DocumentController::DocumentController(DocumentControllerHost& host) : host_(host) {}

DocumentController::~DocumentController()
{
    for (const auto& document : documents_) {
        document->setChangeCountCallback(nullptr);
        document->setUncommittedChangesCallback(nullptr);
    }
    for (auto& [document, timer] : autosaveTimers_)
        delete timer;
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
    document->setChangeCountCallback([this, raw] { changeCountChanged(*raw); });
    document->setUncommittedChangesCallback([this, raw] { uncommittedChangesChanged(*raw); });
    host_.showDocument(document);
}

void DocumentController::openDocuments(const std::vector<std::string>& paths)
{
    if (paths.empty()) {
        newDocument();
        return;
    }
    for (const std::string& path : paths)
        openDocumentWithContentsOfURL(path);
}

std::shared_ptr<Document> DocumentController::newDocument()
{
    std::shared_ptr<Document> document = host_.makeUntitledDocument();
    addDocument(document);
    return document;
}

std::shared_ptr<Document> DocumentController::openDocumentWithContentsOfURL(const std::string& path)
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
    std::shared_ptr<Document> document;
    try {
        document = host_.makeDocument(path);
    } catch (const std::exception& error) {
        return fail(error.what());
    }
    document->noteFileState();
    RecentDocuments::note(path);
    addDocument(document);
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
    if (document.fileChangedOnDisk() && (!host_.askToOverwriteChangedFile(document) || endingQuietly_))
        return false;
    std::optional<std::string> error;
    if (!document.saveToURL(*document.fileURL(), document.fileType(), operation, &error)) {
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
    std::optional<std::string> error;
    if (!document.saveToURL(*path, document.defaultSaveType(), SaveOperation::saveAs, &error)) {
        host_.showSaveError(document, error.value_or(""), ReportTiming::atOnce);
        return false;
    }
    untitledNumbers_.erase(&document);
    RecentDocuments::note(*path);
    host_.documentStateChanged(document);
    return true;
}

bool DocumentController::revertDocumentToSaved(Document& document)
{
    if (!document.fileURL() || !host_.askToRevert(document) || endingQuietly_)
        return false;
    std::optional<std::string> error;
    if (!document.revertToSaved(&error)) {
        host_.showOpenError(*document.fileURL(), error.value_or(""));
        return false;
    }
    return true;
}

// ---- Automatic saves ----

void DocumentController::changeCountChanged(Document& document)
{
    host_.documentStateChanged(document);
    unsavedWorkChanged(document);
}

void DocumentController::uncommittedChangesChanged(Document& document)
{
    unsavedWorkChanged(document);
}

void DocumentController::unsavedWorkChanged(Document& document)
{
    recoveryCurrent_.erase(&document);
    if (document.hasUnsavedWork()) {
        scheduleAutosave(document);
        return;
    }
    if (const auto timer = autosaveTimers_.find(&document); timer != autosaveTimers_.end())
        timer->second->stop();
    firstUnsavedChange_.erase(&document);
    discardRecoveryCopy(document);
}

void DocumentController::scheduleAutosave(Document& document)
{
    QTimer*& timer = autosaveTimers_[&document];
    if (!timer) {
        timer = new QTimer;
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, [this, raw = &document] { autosaveTimerFired(*raw); });
    }
    // A quiet moment after the last change, but no later than the longest delay after the first.
    const auto now = std::chrono::steady_clock::now();
    const auto first = firstUnsavedChange_.try_emplace(&document, now).first->second;
    const auto longest = std::max(longestAutosaveDelay_, autosaveDelay_);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(first + longest - now);
    timer->start(std::clamp(left, std::chrono::milliseconds(0), autosaveDelay_));
}

void DocumentController::autosaveTimerFired(Document& document)
{
    if (document.canAutosaveInPlace()) {
        // What is committed goes into the file, also while a change is under way.
        std::optional<std::string> error;
        if (document.fileChangedOnDisk()) {
            // The next save or close asks; meanwhile the changes are kept apart.
            VQ_LOG("autosave()", "not saved: the file was changed by another program: " + *document.fileURL());
        } else if (document.saveToURL(*document.fileURL(), document.fileType(), SaveOperation::autosaveInPlace,
                                      &error)) {
            autosaveErrorShown_.erase(&document);
        } else {
            VQ_LOG("autosave()", error.value_or(""));
            if (autosaveErrorShown_.insert(&document).second) // once until a save works again
                host_.showSaveError(document, error.value_or(""), ReportTiming::atOnce);
        }
    }
    // What the file does not hold (no file, a failed save, a change under way) is copied.
    if (document.hasUnsavedWork())
        writeRecoveryCopy(document, false);
    // Everything is kept as it stands: the next change schedules the next save.
    if (const auto timer = autosaveTimers_.find(&document); timer != autosaveTimers_.end())
        timer->second->stop();
    firstUnsavedChange_.erase(&document);
}

void DocumentController::autosaveAllQuietly()
{
    const std::vector<std::shared_ptr<Document>> open = documents_;
    for (const auto& document : open) {
        document->finishEditing();
        if (document->canAutosaveInPlace() && !document->fileChangedOnDisk()) {
            std::optional<std::string> error;
            if (document->saveToURL(*document->fileURL(), document->fileType(), SaveOperation::autosaveInPlace,
                                    &error))
                continue;
            VQ_LOG("autosave()", error.value_or(""));
        }
        writeRecoveryCopy(*document, true);
    }
}

void DocumentController::endQuietly()
{
    endingQuietly_ = true;
    autosaveAllQuietly();
}

// ---- Recovery ----

void DocumentController::setRecoveryFolder(const std::string& folder)
{
    recoveryEntries_.clear();
    recoveryCurrent_.clear();
    recovery_ = std::make_unique<DocumentRecovery>(folder);
}

void DocumentController::writeRecoveryCopy(Document& document, bool quietly)
{
    if (!recovery_ || !document.hasUnsavedWork() || document.readFailed() || recoveryCurrent_.contains(&document))
        return;
    DocumentRecovery::Entry& entry = recoveryEntries_[&document];
    if (entry.id.empty())
        entry.id = DocumentRecovery::newId();
    entry.fileURL = document.fileURL();
    entry.fileType = document.fileType();
    const auto number = untitledNumbers_.find(&document);
    entry.untitledNumber = number == untitledNumbers_.end() ? 0 : number->second;
    entry.fileState = document.notedFileState();
    std::string error;
    if (recovery_->write(document, entry, &error)) {
        recoveryCurrent_.insert(&document);
        recoveryErrorShown_.erase(&document);
        return;
    }
    VQ_LOG("autosave()", "the unsaved changes of " + displayName(document) + " could not be copied: " + error);
    if (!quietly && recoveryErrorShown_.insert(&document).second) // once until a copy works again
        host_.showRecoveryCopyError(document, error);
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
            document = host_.makeDocument(entry.contentPath);
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
    if (!reviewChanges(document, false))
        return false;
    closeApproved_.insert(&document);
    return true;
}

void DocumentController::removeDocument(Document& document)
{
    document.setChangeCountCallback(nullptr);
    document.setUncommittedChangesCallback(nullptr);
    // Closed after asking (Don't Save): the copy is not wanted. Closed by the program's end: it stays.
    if (closeApproved_.contains(&document))
        discardRecoveryCopy(document);
    recoveryEntries_.erase(&document);
    recoveryCurrent_.erase(&document);
    firstUnsavedChange_.erase(&document);
    if (const auto timer = autosaveTimers_.find(&document); timer != autosaveTimers_.end()) {
        delete timer->second;
        autosaveTimers_.erase(timer);
    }
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
    const std::vector<std::shared_ptr<Document>> open = documents_;
    for (const auto& document : open) {
        if (!reviewChanges(*document, true)) {
            closeApproved_.clear();
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
    host_.terminate();
    return true;
}

} // namespace velquine
