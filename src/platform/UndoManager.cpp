#include "platform/UndoManager.h"

namespace velquine {

void UndoManager::registerUndo(Action action)
{
    if (!action)
        return;
    switch (mode_) {
    case Mode::normal:
        // Built in place: a braced list would copy the action, and with it everything the action holds.
        undoStack_.emplace_back();
        undoStack_.back().actions.push_back(std::move(action));
        redoStack_.clear();
        notify();
        return;
    case Mode::undoing:
    case Mode::redoing: {
        std::vector<Step>& target = mode_ == Mode::undoing ? redoStack_ : undoStack_;
        if (!reverseStepOpen_ || target.empty()) {
            target.push_back(Step{runningName_, {}});
            reverseStepOpen_ = true;
        }
        target.back().actions.push_back(std::move(action));
        return;
    }
    }
}

void UndoManager::setActionName(const std::string& name)
{
    switch (mode_) {
    case Mode::normal:
        if (!undoStack_.empty()) {
            undoStack_.back().name = name;
            notify();
        }
        return;
    case Mode::undoing:
    case Mode::redoing: {
        std::vector<Step>& target = mode_ == Mode::undoing ? redoStack_ : undoStack_;
        if (reverseStepOpen_ && !target.empty())
            target.back().name = name;
        return;
    }
    }
}

bool UndoManager::undo()
{
    return run(undoStack_, Mode::undoing);
}

bool UndoManager::redo()
{
    return run(redoStack_, Mode::redoing);
}

bool UndoManager::run(std::vector<Step>& from, Mode mode)
{
    if (mode_ != Mode::normal || from.empty())
        return false;
    Step step = std::move(from.back());
    from.pop_back();

    mode_ = mode;
    reverseStepOpen_ = false;
    runningName_ = step.name;
    auto finish = [this] {
        mode_ = Mode::normal;
        reverseStepOpen_ = false;
        runningName_.clear();
    };
    try {
        for (auto it = step.actions.rbegin(); it != step.actions.rend(); ++it)
            (*it)();
    } catch (...) {
        finish();
        notify();
        throw;
    }
    finish();
    notify();
    return true;
}

std::string UndoManager::undoActionName() const
{
    return undoStack_.empty() ? std::string() : undoStack_.back().name;
}

std::string UndoManager::redoActionName() const
{
    return redoStack_.empty() ? std::string() : redoStack_.back().name;
}

void UndoManager::removeAllActions()
{
    undoStack_.clear();
    redoStack_.clear();
    reverseStepOpen_ = false;
    notify();
}

void UndoManager::notify()
{
    if (mode_ != Mode::normal || !changed_)
        return;
    // A copy, so that the callback may replace itself.
    std::function<void()> callback = changed_;
    callback();
}

} // namespace velquine
