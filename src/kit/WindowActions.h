#pragma once

// A window's commands on widgets: its ActionDispatcher (see platform/ActionDispatcher.h), QActions that send
// selectors, menus validated when they open, shortcuts validated before they fire.
//
// Using it:
//     auto* actions = new WindowActions(window);                 // one per top-level window, owned by it
//     actions->dispatcher().setChain({inspectorBar, graphViewController, windowController});
//     attachResponder(notePaneWidget, notePane);                 // joins the chain while the focus is inside
//     QMenu* edit = menuBar->addMenu(tr("&Edit"));
//     actions->addAction(edit, tr("Copy"), "copy:", KeyPolicy::standardShortcuts(QKeySequence::Copy));
//     actions->watchMenu(edit);                                  // validated on aboutToShow
// The focus part of the chain is: the focused text widget (TextResponder), then the responders attached to the
// focus widget and its ancestors, innermost first. A triggered action (menu click or shortcut) is validated
// first and runs only when enabled; a refused or unanswered shortcut beeps. Validators' titles, hidden flags
// and states are written back to the QAction; the mixed state shows as a dash (QAction has no mixed state).
// Whatever sends a command through the dispatcher (an action, a key on the canvas, an inspector control),
// commandsSent() follows on the next turn of the event loop, once for all the commands of a turn.

#include "platform/ActionDispatcher.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace velquine {

class TextResponder;

// responder joins the focus part of the chain whenever the focus is in widget or below it. Held weakly; the
// attachment ends with the widget. A null responder removes the attachment.
void attachResponder(QWidget* widget, Responder* responder);
Responder* attachedResponder(const QWidget* widget);

// For a window-modal report left up without waiting: the window it covers is blocked, and with it that window's
// menu, so the report takes the Quit command's keys (Ctrl+Q) itself and sends the command as the menu would, on
// the next turn of the run loop, once the key has been handled.
void takeQuitKeys(QWidget* report);

class WindowActions : public QObject {
    Q_OBJECT
public:
    explicit WindowActions(QWidget* window);
    ~WindowActions() override;

    // The WindowActions of widget's window, or null.
    static WindowActions* of(const QWidget* widget);

    ActionDispatcher& dispatcher() { return dispatcher_; }
    QWidget* window() const { return window_; }

    // Makes action send selector along this window's chain when triggered. tag is the item's tag. Shortcuts the
    // key policy reserves for the focused widget are taken off the action.
    void bindAction(QAction* action, const std::string& selector, int tag = 0);
    // A new bound action at the end of menu. Sequences the key policy reserves for the focused widget are left out.
    QAction* addAction(QMenu* menu, const QString& title, const std::string& selector,
                       const QList<QKeySequence>& shortcuts = {}, int tag = 0);
    // Validates menu's bound actions whenever it is about to show (submenus included as they open).
    void watchMenu(QMenu* menu);
    void validateMenu(QMenu* menu);

    // Menu-item validation of one bound action, written back into it; returns whether it is enabled.
    bool validateAction(QAction* action);
    // Toolbar validation (enabled and, where the target answers it, the on/off state).
    bool validateToolbarAction(QAction* action);
    // Validates and, when enabled, performs; otherwise beeps. Returns whether the command ran.
    bool trigger(QAction* action);

    // The selector an action was bound to ("" when none), its item, and writing an item back.
    static std::string selectorOf(const QAction* action);
    static ActionItem itemFor(const QAction* action, ActionItemKind kind);
    static void applyItem(QAction* action, const ActionItem& item);
    static ControlState stateOf(const QAction* action);

signals:
    // One or more commands were performed on this window's chain since the last turn of the event loop.
    void commandsSent();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<Responder*> focusChain() const;
    void restoreAfterMenu(QMenu* menu);

    QPointer<QWidget> window_;
    ActionDispatcher dispatcher_;
    std::unique_ptr<TextResponder> textResponder_;
    bool commandsSentPending_ = false;
};

} // namespace velquine
