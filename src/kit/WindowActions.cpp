#include "kit/WindowActions.h"

#include "kit/Beep.h"
#include "kit/CommandTable.h"
#include "kit/KeyPolicy.h"
#include "kit/TextResponder.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QShortcut>
#include <QWidget>

#include <utility>

#include "platform/RunLoop.h"

namespace velquine {

namespace {

constexpr const char* selectorProperty = "velquineSelector";
constexpr const char* tagProperty = "velquineTag";
constexpr const char* stateProperty = "velquineControlState";
constexpr const char* attachmentName = "velquineResponderAttachment";

// Holds a weak reference to the responder attached to its parent widget.
class ResponderAttachment : public QObject {
public:
    ResponderAttachment(QWidget* widget, Responder* responder)
        : QObject(widget), reference(responder->weakReference())
    {
        setObjectName(attachmentName);
    }
    std::weak_ptr<Responder*> reference;
};

ResponderAttachment* attachmentOf(const QWidget* widget)
{
    return widget->findChild<ResponderAttachment*>(attachmentName, Qt::FindDirectChildrenOnly);
}

// A menu title as validators read it: mnemonic markers removed.
std::string plainTitle(const QString& text)
{
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        result.append(text[i]);
    }
    return result.toStdString();
}

QString escapedTitle(const std::string& title)
{
    return QString::fromStdString(title).replace(u'&', QStringLiteral("&&"));
}

// The check-mark place of a menu item in the mixed state: a short dash.
QIcon mixedStateIcon(const QWidget* context)
{
    const QColor colour = context ? context->palette().color(QPalette::WindowText) : QColor(Qt::black);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(4, 8), QPointF(12, 8));
    return QIcon(pixmap);
}

} // namespace

void attachResponder(QWidget* widget, Responder* responder)
{
    if (!widget)
        return;
    delete attachmentOf(widget);
    if (responder)
        new ResponderAttachment(widget, responder);
}

Responder* attachedResponder(const QWidget* widget)
{
    ResponderAttachment* attachment = widget ? attachmentOf(widget) : nullptr;
    if (!attachment)
        return nullptr;
    auto alive = attachment->reference.lock();
    return alive ? *alive : nullptr;
}

void takeQuitKeys(QWidget* report)
{
    for (const QKeySequence& keys : KeyPolicy::standardShortcuts(QKeySequence::Quit))
        QObject::connect(new QShortcut(keys, report), &QShortcut::activated, report, [] {
            // The quit may close the window under the report, and the report with it.
            RunLoop::post([] {
                if (!ActionDispatcher().sendAction(commandSelector(Command::terminate)))
                    Beep::beep();
            });
        });
}

WindowActions::WindowActions(QWidget* window)
    : QObject(window), window_(window), textResponder_(std::make_unique<TextResponder>())
{
    setObjectName("velquineWindowActions");
    dispatcher_.setFocusChain([this] { return focusChain(); });
    // Queued: the command may close the window, and a call queued for a destroyed object is dropped.
    dispatcher_.setSendingHook([this](const std::string&) {
        if (std::exchange(commandsSentPending_, true))
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                commandsSentPending_ = false;
                emit commandsSent();
            },
            Qt::QueuedConnection);
    });
    qApp->installEventFilter(this);
}

// A shortcut override is sent to the focus widget only; watching the application lets text widgets of this
// window keep their reserved keys even from a shortcut bound past bindAction(), and lets the undo and redo
// keys reach the window's commands when the text widget has nothing of its own to undo or redo (the widget
// would otherwise take the key and do nothing with it).
bool WindowActions::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        QWidget* text = widget->window() == window_ ? TextResponder::textWidgetFor(widget) : nullptr;
        if (text && !KeyPolicy::acceptReservedShortcutOverride(event)
            && TextResponder::leavesKeyToWindow(text, static_cast<QKeyEvent*>(event))) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

WindowActions::~WindowActions() = default;

WindowActions* WindowActions::of(const QWidget* widget)
{
    if (!widget)
        return nullptr;
    return widget->window()->findChild<WindowActions*>("velquineWindowActions", Qt::FindDirectChildrenOnly);
}

std::vector<Responder*> WindowActions::focusChain() const
{
    std::vector<Responder*> chain;
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !window_ || focus->window() != window_)
        return chain;
    if (QWidget* text = TextResponder::textWidgetFor(focus)) {
        textResponder_->setWidget(text);
        chain.push_back(textResponder_.get());
    }
    for (QWidget* widget = focus; widget; widget = widget->parentWidget())
        if (Responder* responder = attachedResponder(widget))
            chain.push_back(responder);
    return chain;
}

std::string WindowActions::selectorOf(const QAction* action)
{
    return action ? action->property(selectorProperty).toString().toStdString() : std::string();
}

ControlState WindowActions::stateOf(const QAction* action)
{
    const QVariant stored = action->property(stateProperty);
    if (stored.isValid())
        return static_cast<ControlState>(stored.toInt());
    return action->isChecked() ? ControlState::on : ControlState::off;
}

ActionItem WindowActions::itemFor(const QAction* action, ActionItemKind kind)
{
    ActionItem item;
    item.action = selectorOf(action);
    item.kind = kind;
    item.title = plainTitle(action->text());
    item.tag = action->property(tagProperty).toInt();
    item.enabled = action->isEnabled();
    item.hidden = !action->isVisible();
    item.state = stateOf(action);
    item.object = const_cast<QAction*>(action);
    return item;
}

void WindowActions::applyItem(QAction* action, const ActionItem& item)
{
    action->setEnabled(item.enabled);
    action->setVisible(!item.hidden);
    if (plainTitle(action->text()) != item.title)
        action->setText(escapedTitle(item.title));
    const bool hasState = action->isCheckable() || action->property(stateProperty).isValid()
        || item.state != ControlState::off;
    if (!hasState)
        return; // a plain item that nobody gave a state
    action->setProperty(stateProperty, static_cast<int>(item.state));
    action->setCheckable(item.state != ControlState::mixed); // the mixed dash takes the check mark's place
    action->setChecked(item.state == ControlState::on);
    const QWidget* context = qobject_cast<QWidget*>(action->parent());
    if (item.kind != ActionItemKind::toolbarItem) // a toolbar button keeps its own image
        action->setIcon(item.state == ControlState::mixed ? mixedStateIcon(context) : QIcon());
}

void WindowActions::bindAction(QAction* action, const std::string& selector, int tag)
{
    action->setProperty(selectorProperty, QString::fromStdString(selector));
    action->setProperty(tagProperty, tag);
    QList<QKeySequence> allowed;
    for (const QKeySequence& sequence : action->shortcuts())
        if (!KeyPolicy::isReservedSequence(sequence))
            allowed.append(sequence);
    action->setShortcuts(allowed);
    connect(action, &QAction::triggered, this, [this, action] { trigger(action); });
}

QAction* WindowActions::addAction(QMenu* menu, const QString& title, const std::string& selector,
                                  const QList<QKeySequence>& shortcuts, int tag)
{
    auto* action = new QAction(title, menu);
    action->setShortcuts(shortcuts);
    bindAction(action, selector, tag);
    menu->addAction(action);
    return action;
}

void WindowActions::watchMenu(QMenu* menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { validateMenu(menu); });
    connect(menu, &QMenu::aboutToHide, this, [this, menu] { restoreAfterMenu(menu); });
    for (QAction* action : menu->actions())
        if (QMenu* submenu = action->menu())
            watchMenu(submenu);
}

void WindowActions::validateMenu(QMenu* menu)
{
    for (QAction* action : menu->actions())
        if (!selectorOf(action).empty())
            validateAction(action);
}

// Shortcuts of disabled or hidden actions do not fire at all; between menu openings every bound action stays
// live so that its shortcut reaches trigger(), which validates it then.
void WindowActions::restoreAfterMenu(QMenu* menu)
{
    for (QAction* action : menu->actions())
        if (!selectorOf(action).empty()) {
            action->setEnabled(true);
            action->setVisible(true);
        }
}

bool WindowActions::validateAction(QAction* action)
{
    ActionItem item = itemFor(action, ActionItemKind::menuItem);
    dispatcher_.validateMenuItem(item);
    applyItem(action, item);
    return item.enabled;
}

bool WindowActions::validateToolbarAction(QAction* action)
{
    ActionItem item = itemFor(action, ActionItemKind::toolbarItem);
    dispatcher_.validateToolbarItem(item);
    applyItem(action, item);
    return item.enabled;
}

bool WindowActions::trigger(QAction* action)
{
    const std::string selector = selectorOf(action);
    // A checkable QAction has already flipped its check mark; the responder decides the state.
    if (action->isCheckable()) {
        const QVariant stored = action->property(stateProperty);
        const bool before = stored.isValid() ? stored.toInt() == static_cast<int>(ControlState::on) : !action->isChecked();
        action->setChecked(before);
    }
    ActionItem item = itemFor(action, ActionItemKind::menuItem);
    if (!dispatcher_.validateMenuItem(item)) {
        Beep::beep();
        return false;
    }
    dispatcher_.sendAction(selector, &item);
    return true;
}

} // namespace velquine
