// The automatic saves of the document controller: scheduling them after changes, taking what they write on the
// main thread and writing it on a worker, and the saves on the program's way out.

#include "platform/DocumentController.h"

#include <algorithm>

#include <QTimer>

#include "platform/Log.h"

namespace velquine {

void DocumentController::unsavedWorkChanged(Document& document)
{
    host_.documentStateChanged(document);
    ++changeGenerations_[&document];
    recoveryCurrent_.erase(&document);
    if (document.hasUnsavedWork()) {
        scheduleAutosave(document);
        return;
    }
    if (const auto timer = autosaveTimers_.find(&document); timer != autosaveTimers_.end())
        timer->second->stop();
    firstUnsavedChange_.erase(&document);
    // A copy being written now would outlive its removal: the end of the write removes it.
    if (!isWriting(document))
        discardRecoveryCopy(document);
}

void DocumentController::scheduleAutosave(Document& document)
{
    std::unique_ptr<QTimer>& timer = autosaveTimers_[&document];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        QObject::connect(timer.get(), &QTimer::timeout, [this, raw = &document] { autosaveTimerFired(*raw); });
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
    // Its window is closing as the user decided (saved, or not to save): nothing more is written.
    if (closeApproved_.contains(&document))
        return;
    if (isWriting(document)) {
        writes_.followUp(document); // made once the write under way has ended
        return;
    }
    // What stands now is what this save takes: the next change schedules the next save.
    if (const auto timer = autosaveTimers_.find(&document); timer != autosaveTimers_.end())
        timer->second->stop();
    firstUnsavedChange_.erase(&document);
    std::shared_ptr<PendingSave> save;
    if (document.canAutosaveInPlace()) {
        // What is committed goes into the file, also while a change is under way.
        std::optional<std::string> error;
        if (document.fileChangedOnDisk()) {
            // The next save or close asks; meanwhile the changes are kept apart.
            VQ_LOG("autosave()", "not saved: the file was changed by another program: " + *document.fileURL());
        } else if (!(save = document.beginSave(*document.fileURL(), document.fileType(),
                                               SaveOperation::autosaveInPlace, &error))) {
            VQ_LOG("autosave()", error.value_or(""));
            if (autosaveErrorShown_.insert(&document).second)
                host_.showSaveError(document, error.value_or(""), ReportTiming::atOnce);
        }
    }
    // What the file will not hold (no file, a failed save, a change under way) is copied.
    const std::shared_ptr<DocumentRecovery::PendingCopy> copy = takeRecoveryCopy(document, false);
    if (!save && !copy)
        return;
    const bool copyAnyway = !save || document.hasUncommittedChanges();
    struct Outcome {
        bool copied = false;
        bool copyWritten = false;
        std::string copyError;
    };
    const auto outcome = std::make_shared<Outcome>();
    const std::uint64_t generation = changeGenerations_[&document];
    writes_.start(
        document,
        [save, copy, copyAnyway, outcome] {
            if (save)
                save->run();
            if (copy && (copyAnyway || !save->written)) {
                outcome->copied = true;
                outcome->copyWritten = copy->run(&outcome->copyError);
            }
        },
        [this, &document, save, copy, outcome, generation] {
            const bool changedMeanwhile = changeGenerations_[&document] != generation;
            if (save) {
                document.endSave(*save);
                if (save->written) {
                    autosaveErrorShown_.erase(&document);
                } else {
                    VQ_LOG("autosave()", save->error.value_or(""));
                    if (autosaveErrorShown_.insert(&document).second) // once until a save works again
                        host_.showSaveError(document, save->error.value_or(""), ReportTiming::atOnce);
                }
            }
            if (outcome->copied)
                recoveryCopyWritten(document, *copy, outcome->copyWritten, outcome->copyError, !changedMeanwhile,
                                    false);
            if (!changedMeanwhile) {
                // Everything is kept as it stands: the next change schedules the next save.
                if (const auto timer = autosaveTimers_.find(&document); timer != autosaveTimers_.end())
                    timer->second->stop();
                firstUnsavedChange_.erase(&document);
            }
        });
}

void DocumentController::writeEnded(Document& document, bool autosaveDue)
{
    if (!document.hasUnsavedWork())
        discardRecoveryCopy(document);
    if (autosaveDue)
        autosaveTimerFired(document);
}

void DocumentController::autosaveAllQuietly()
{
    const std::vector<std::shared_ptr<Document>> open = documents_;
    for (const auto& document : open) {
        finishWriting(*document);
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

} // namespace velquine
