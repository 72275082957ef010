#pragma once

// Undo and redo of closures with action names.
//
// Each registration made outside undo and redo is one step of its own (there is no grouping by turn of
// the event loop) and clears the redo history. While a step is being undone, what its closures register
// becomes one redo step, named like the undone step unless the closures name it themselves; while a step
// is being redone, what they register becomes one undo step the same way, and the redo history stays.
//
// Plain C++, no signals: a menu that shows "Undo <name>" follows through the change callback.

#include <functional>
#include <string>
#include <vector>

namespace velquine {

class UndoManager {
public:
    using Action = std::function<void()>;

    UndoManager() = default;
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    // Records action as the way to take back what was just done (see the class comment for where it goes).
    void registerUndo(Action action);

    // Names the step being recorded: the newest undo step, or, while undoing, the redo step being built
    // (while redoing, the undo step being built). Does nothing when there is no such step.
    void setActionName(const std::string& name);

    bool canUndo() const { return !undoStack_.empty(); }
    bool canRedo() const { return !redoStack_.empty(); }

    // Runs the newest undo (redo) step's closures, newest first. Returns false, doing nothing, when there is
    // no step or when called from inside another undo or redo. An exception of a closure reaches the caller;
    // the step is gone then, and whatever the closures registered before it stays recorded.
    bool undo();
    bool redo();

    bool isUndoing() const { return mode_ == Mode::undoing; }
    bool isRedoing() const { return mode_ == Mode::redoing; }

    // The name of the step undo() (redo()) would run; empty when there is none or it has no name.
    std::string undoActionName() const;
    std::string redoActionName() const;

    // Forgets both histories.
    void removeAllActions();

    // Called after every change of the histories or names (not in the middle of an undo or redo, but once
    // it is over). An empty function removes it.
    void setChangeCallback(std::function<void()> callback) { changed_ = std::move(callback); }

private:
    struct Step {
        std::string name;
        std::vector<Action> actions; // in the order registered
    };
    enum class Mode { normal, undoing, redoing };

    bool run(std::vector<Step>& from, Mode mode);
    void notify();

    std::vector<Step> undoStack_;
    std::vector<Step> redoStack_;
    Mode mode_ = Mode::normal;
    // While undoing or redoing: whether the closures of the running step have opened the step they fill.
    bool reverseStepOpen_ = false;
    std::string runningName_;
    std::function<void()> changed_;
};

} // namespace velquine
