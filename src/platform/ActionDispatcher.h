#pragma once

// Commands travel by name, not by target.
//
// A command is named by its selector text ("newChildNode:", "copy:", "showPreferencesPanel:"). Menu items,
// toolbar buttons and shortcuts carry a selector and no target; the window's ActionDispatcher sends it along
// the window's responder chain to the first Responder that handles it. Validation asks that same responder
// whether the item is enabled, and lets it rewrite the item's title, hidden flag and on/off/mixed state.
//
// Using it:
//   * A controller derives from Responder and either registers its commands by their selectors, which the
//     window's command table (kit/CommandTable.h) keeps,
//         addAction(commandSelector(Command::newChildNode), [this](const ActionItem* sender) { ... });
//     or overrides respondsTo()/perform(). It overrides validateMenuItem(ActionItem&) and
//     validateToolbarItem(ActionItem&) (both default to "enabled") and, for buttons with an on/off state,
//     validateToolbarItemState(const ActionItem&).
//   * One ActionDispatcher per window. Its chain is, in order: the focus part (from focusChain(): the focused
//     text widget's own responder first, then the responders of the panes that contain the focus, innermost
//     first), then the fixed part given to setChain() (for an editor window: inspector bar, graph view
//     controller, window controller), then the application responder (setApplicationResponder). A responder
//     met twice is asked once. Responders are held weakly: a destroyed one drops out of every chain.
//   * sendAction(selector, sender) performs on the first responder that handles the selector; it answers
//     false when none does (the caller beeps where a user gesture went unanswered). The hook given to
//     setSendingHook() hears each selector just before it is performed, so that what shows the answers of
//     validation (a toolbar) can check them again once the command has run.
//   * validateMenuItem(item)/validateToolbarItem(item) find the same target and ask it; with no target the
//     item is disabled. The results are written into the item (enabled, title, hidden, state).
//   * Widgets: src/kit/WindowActions.h binds QActions and menus to a window's dispatcher (menus validated when
//     they open, shortcuts validated before they fire), and attaches responders to widgets for the focus part.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QObject;

namespace velquine {

// The on/off/mixed state of a menu item or button (the raw values of the usual control states).
enum class ControlState { off = 0, on = 1, mixed = -1 };

enum class ActionItemKind { menuItem, toolbarItem, button, other };

// A menu item, toolbar item or control as validation and commands see it: the sender of a command and the
// subject of its validation. Validators may change title, hidden and state; the binding writes them back.
struct ActionItem {
    std::string action; // selector; empty for an item with no action
    ActionItemKind kind = ActionItemKind::menuItem;
    std::string title;
    int tag = 0;
    bool enabled = true;
    bool hidden = false;
    ControlState state = ControlState::off;
    QObject* object = nullptr; // the widget or QAction behind the item, if any
};

class Responder {
public:
    using Handler = std::function<void(const ActionItem* sender)>;

    Responder();
    virtual ~Responder();
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    // Whether this responder handles selector. By default: whether it was registered with addAction.
    virtual bool respondsTo(const std::string& selector) const;
    // Runs the command. By default: calls the registered handler. sender may be null.
    virtual void perform(const std::string& selector, const ActionItem* sender);

    // Whether the item is enabled; may also change its title, hidden flag and state. Default: enabled.
    virtual bool validateMenuItem(ActionItem& item);
    virtual bool validateToolbarItem(ActionItem& item);
    // Whether this responder answers the on/off state of a toolbar button, and the state (default: it does
    // not, and the button keeps its state).
    virtual bool respondsToToolbarItemState() const { return false; }
    virtual ControlState validateToolbarItemState(const ActionItem& item);

    // A weak reference that empties when this responder is destroyed.
    std::weak_ptr<Responder*> weakReference() const { return self_; }

protected:
    void addAction(const std::string& selector, Handler handler);
    void removeAction(const std::string& selector);

private:
    std::shared_ptr<Responder*> self_;
    std::map<std::string, Handler> actions_;
};

class ActionDispatcher {
public:
    // The responders of the focus part, innermost first, computed at every lookup.
    using FocusChain = std::function<std::vector<Responder*>()>;

    ActionDispatcher() = default;
    ActionDispatcher(const ActionDispatcher&) = delete;
    ActionDispatcher& operator=(const ActionDispatcher&) = delete;

    void setFocusChain(FocusChain focusChain) { focusChain_ = std::move(focusChain); }
    // Called with a selector that has a target, just before it is performed. The command may end the
    // dispatcher's window, so the hook only takes note and acts later.
    using SendingHook = std::function<void(const std::string& selector)>;
    void setSendingHook(SendingHook hook) { sendingHook_ = std::move(hook); }
    // The fixed part after the focus part, in order.
    void setChain(const std::vector<Responder*>& responders);

    // The last responder of every window's chain (the application delegate). Held weakly.
    static void setApplicationResponder(Responder* responder);
    static Responder* applicationResponder();

    // The whole chain as it stands now, without repeats.
    std::vector<Responder*> chain() const;
    // The first responder in the chain that handles selector, or null.
    Responder* targetForAction(const std::string& selector) const;

    // Performs selector on its target; false when no responder handles it.
    bool sendAction(const std::string& selector, const ActionItem* sender = nullptr) const;

    // Validates item against the target of item.action and writes the answer into item.enabled (false when
    // nothing handles the action or the item has none). Returns item.enabled.
    bool validateMenuItem(ActionItem& item) const;
    // The same for a toolbar item or button; when the target answers on/off states, item.state is set too.
    bool validateToolbarItem(ActionItem& item) const;

private:
    FocusChain focusChain_;
    SendingHook sendingHook_;
    std::vector<std::weak_ptr<Responder*>> chain_;
};

} // namespace velquine
