#include "editor/ToolbarController.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QMenu>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>

#include "document/DocumentListenerRelay.h"
#include "document/VQDocument.h"
#include "editor/ToolbarCustomizationDialog.h"
#include "editor/ToolbarTrackingSeparator.h"
#include "kit/CommandTable.h"
#include "kit/KVView.h"
#include "kit/SymbolImages.h"
#include "kit/WindowActions.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

#include <algorithm>

namespace velquine {

namespace {

// The button of a toolbar item identifier, or null.
const ToolbarButtonSpec* buttonFor(const QString& identifier)
{
    const std::optional<Command> command = commandForToolbarIdentifier(identifier);
    return command ? &commandSpec(*command).toolbar : nullptr;
}

QString identifierOf(Command command)
{
    return QString::fromLatin1(commandSpec(command).toolbar.identifier);
}

ToolbarController::CustomizationRunner& customizationRunner()
{
    static ToolbarController::CustomizationRunner runner = [](ToolbarCustomizationDialog& dialog) {
        return dialog.exec() == QDialog::Accepted;
    };
    return runner;
}

constexpr const char* symbolProperty = "velquineSymbol";

bool isSpace(const QString& identifier)
{
    return identifier == ToolbarController::flexibleSpace || identifier == ToolbarController::space;
}

} // namespace

const QString ToolbarController::flexibleSpace = QStringLiteral("NSToolbarFlexibleSpaceItem");
const QString ToolbarController::space = QStringLiteral("NSToolbarSpaceItem");
const QString ToolbarController::sidebarTrackingSeparator = QStringLiteral("NSToolbarSidebarTrackingSeparatorItem");
const QString ToolbarController::trackingSplitItem = QStringLiteral("TrackingSplitItem");
const char* const ToolbarController::configurationKey = "MyMainToolbar";
const char* const ToolbarController::configurationDidChangeNotification = "MyMainToolbarDidChange";

QStringList ToolbarController::toolbarDefaultItemIdentifiers()
{
    return {sidebarTrackingSeparator,
            flexibleSpace,
            identifierOf(Command::toggleNodeFocus),
            identifierOf(Command::centerSelectedNode),
            identifierOf(Command::pickEmoji),
            identifierOf(Command::pickPhoto),
            flexibleSpace,
            identifierOf(Command::balanceSelectedNode),
            identifierOf(Command::sortSelectedNodeChildren),
            flexibleSpace,
            identifierOf(Command::showCheatSheet),
            identifierOf(Command::showExportWindow),
            trackingSplitItem,
            identifierOf(Command::toggleNoteView),
            identifierOf(Command::myToggleInspector)};
}

QStringList ToolbarController::toolbarAllowedItemIdentifiers()
{
    return {identifierOf(Command::toggleSidebar),
            flexibleSpace,
            space,
            identifierOf(Command::toggleNodeFocus),
            identifierOf(Command::centerSelectedNode),
            identifierOf(Command::toggleNoteView),
            identifierOf(Command::balanceSelectedNode),
            identifierOf(Command::sortSelectedNodeChildren),
            identifierOf(Command::myToggleInspector),
            identifierOf(Command::pickPhoto),
            identifierOf(Command::pickEmoji),
            identifierOf(Command::showCheatSheet),
            identifierOf(Command::showExportWindow)};
}

QStringList ToolbarController::savedItemIdentifiers()
{
    const std::optional<std::string> stored = UserDefaults::standard().stringForKey(configurationKey);
    if (!stored)
        return toolbarDefaultItemIdentifiers();
    const QStringList known = toolbarAllowedItemIdentifiers() + toolbarDefaultItemIdentifiers();
    QStringList identifiers;
    for (const QString& identifier : QString::fromStdString(*stored).split(u',', Qt::SkipEmptyParts)) {
        if (known.contains(identifier))
            identifiers << identifier;
        else
            systemLog("Toolbar arrangement: unknown item \"" + identifier.toStdString() + "\" left out");
    }
    return identifiers;
}

void ToolbarController::saveItemIdentifiers(const QStringList& identifiers)
{
    UserDefaults::standard().set(configurationKey, identifiers.join(u',').toStdString());
    NotificationCenter::defaultCenter().post(configurationDidChangeNotification);
}

QString ToolbarController::paletteLabel(const QString& identifier)
{
    if (const ToolbarButtonSpec* button = buttonFor(identifier))
        return QString::fromUtf8(button->label);
    if (identifier == flexibleSpace)
        return tr("Flexible Space");
    if (identifier == space)
        return tr("Space");
    if (identifier == sidebarTrackingSeparator)
        return tr("Sidebar Separator");
    if (identifier == trackingSplitItem)
        return tr("Inspector Separator");
    return identifier;
}

ToolbarController::ToolbarController(QSplitter* splitView, WindowActions* actions,
                                     const std::shared_ptr<VQDocument>& document)
    : splitView_(splitView), actions_(actions), toolBar_(new QToolBar),
      relay_(std::make_shared<DocumentListenerRelay>(this))
{
    toolBar_->setObjectName(QStringLiteral("MyMainToolbar"));
    toolBar_->setWindowTitle(tr("Toolbar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(20, 20));
    toolBar_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(toolBar_, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        QMenu* menu = makeContextMenu(toolBar_);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(toolBar_->mapToGlobal(position));
    });
    setItemIdentifiers(savedItemIdentifiers());
    NotificationCenter::defaultCenter().addObserver(
        configurationDidChangeNotification, [this](const Notification&) { setItemIdentifiers(savedItemIdentifiers()); },
        this);

    toolBar_->installEventFilter(this);
    if (splitView_) {
        splitView_->installEventFilter(this);
        for (int index = 0; index < splitView_->count(); ++index)
            splitView_->widget(index)->installEventFilter(this);
        connect(splitView_, &QSplitter::splitterMoved, this, [this] { scheduleTracking(); });
    }

    auto revalidate = [this] { validate(); };
    relay_->onSelection = revalidate;
    relay_->onBeginSession = revalidate;
    relay_->onCommitSession = revalidate;
    relay_->onCancelSession = revalidate;
    relay_->onReplaceProject = revalidate;
    relay_->onStyle = revalidate;
    if (document)
        document->registerEventListener(relay_);
    if (actions_)
        connect(actions_, &WindowActions::commandsSent, this, revalidate);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const QWidget* window = toolBar_->window();
        if ((old && old->window() == window) || (now && now->window() == window))
            validate();
    });
}

ToolbarController::~ToolbarController()
{
    NotificationCenter::defaultCenter().removeObserversOf(this);
}

QAction* ToolbarController::makeItem(const QString& identifier)
{
    const std::optional<Command> command = commandForToolbarIdentifier(identifier);
    if (!command)
        return nullptr;
    const ToolbarButtonSpec& spec = commandSpec(*command).toolbar;
    if (!SymbolImages::exists(QString::fromLatin1(spec.symbol)))
        return nullptr;
    // The focus and centre items are made by the second maker, the others by the first.
    const bool second = command == Command::toggleNodeFocus || command == Command::centerSelectedNode;
    systemLog(std::string(second ? "customToolbarItem2() identifier: " : "customToolbarItem() identifier: ") +
              identifier.toStdString());
    const QString label = QString::fromUtf8(spec.label);
    auto* action = new QAction(toolBar_);
    action->setObjectName(identifier);
    action->setText(label);
    action->setToolTip(label);
    action->setIconText(label);
    action->setProperty(symbolProperty, QString::fromLatin1(spec.symbol));
    action->setIcon(SymbolImages::icon(QString::fromLatin1(spec.symbol), KVView::isDarkAppearance(toolBar_)));
    action->setCheckable(command == Command::toggleNodeFocus);
    action->setProperty("validating", spec.validating);
    if (actions_)
        actions_->bindAction(action, commandSelector(*command), spec.tag);
    return action;
}

QAction* ToolbarController::item(const QString& identifier) const
{
    for (QAction* action : toolBar_->actions())
        if (action->objectName() == identifier)
            return action;
    return nullptr;
}

QStringList ToolbarController::itemIdentifiers() const
{
    QStringList identifiers;
    for (QAction* action : toolBar_->actions())
        identifiers << action->objectName();
    return identifiers;
}

void ToolbarController::addItem(const QString& identifier)
{
    QWidget* widget = nullptr;
    if (identifier == flexibleSpace) {
        widget = new QWidget(toolBar_);
        widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    } else if (identifier == space) {
        widget = new QWidget(toolBar_);
        widget->setFixedWidth(24);
    } else if (identifier == sidebarTrackingSeparator || identifier == trackingSplitItem) {
        widget = new TrackingSeparator(toolBar_);
    } else if (QAction* action = makeItem(identifier)) {
        toolBar_->addAction(action);
        return;
    }
    if (widget) {
        widget->setObjectName(identifier);
        toolBar_->addWidget(widget)->setObjectName(identifier);
    }
}

void ToolbarController::setItemIdentifiers(const QStringList& identifiers)
{
    if (identifiers == itemIdentifiers())
        return;
    const QList<QAction*> old = toolBar_->actions();
    for (QAction* action : old) {
        toolBar_->removeAction(action);
        action->deleteLater();
    }
    iconsDark_ = KVView::isDarkAppearance(toolBar_);
    for (const QString& identifier : identifiers)
        addItem(identifier);
    validate();
    scheduleTracking();
}

void ToolbarController::validate()
{
    if (!actions_)
        return;
    ++validationCount_;
    for (QAction* action : toolBar_->actions())
        if (action->property("validating").toBool())
            actions_->validateToolbarAction(action);
}

void ToolbarController::updateItemIcons()
{
    const bool dark = KVView::isDarkAppearance(toolBar_);
    if (iconsDark_ == dark)
        return;
    iconsDark_ = dark;
    for (QAction* action : toolBar_->actions()) {
        const QString symbol = action->property(symbolProperty).toString();
        if (!symbol.isEmpty())
            action->setIcon(SymbolImages::icon(symbol, dark));
    }
}

// ---- Customisation ----

void ToolbarController::setCustomizationRunner(CustomizationRunner runner)
{
    customizationRunner() = std::move(runner);
}

QMenu* ToolbarController::makeContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("toolbarContextMenu"));
    QAction* customize = menu->addAction(commandTitle(Command::runToolbarCustomizationPalette));
    customize->setObjectName(QString::fromLatin1(commandSelector(Command::runToolbarCustomizationPalette)));
    // The dialog opens after the menu has closed.
    QPointer<ToolbarController> self = this;
    connect(customize, &QAction::triggered, this, [self] {
        RunLoop::post([self] {
            if (self)
                self->runCustomizationPalette();
        });
    });
    return menu;
}

void ToolbarController::runCustomizationPalette()
{
    const bool dark = KVView::isDarkAppearance(toolBar_);
    auto look = [dark](const QString& identifier) {
        ToolbarCustomizationDialog::ItemLook itemLook{paletteLabel(identifier), QIcon()};
        if (const ToolbarButtonSpec* button = buttonFor(identifier))
            itemLook.icon = SymbolImages::icon(QString::fromLatin1(button->symbol), dark);
        return itemLook;
    };
    ToolbarCustomizationDialog dialog(toolbarAllowedItemIdentifiers(), itemIdentifiers(),
                                      toolbarDefaultItemIdentifiers(), look, isSpace, toolBar_->window());
    if (customizationRunner()(dialog))
        saveItemIdentifiers(dialog.itemIdentifiers());
}

// ---- Tracking separators ----

bool ToolbarController::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // Items are made before the toolbar is in a window, and the window's appearance may change later: the
    // template symbols are drawn again in the label colour of the appearance the toolbar now has.
    if (watched == toolBar_ && (type == QEvent::PaletteChange || type == QEvent::Show))
        updateItemIcons();
    if (type == QEvent::Resize || type == QEvent::Move || type == QEvent::Show || type == QEvent::Hide)
        scheduleTracking();
    return QObject::eventFilter(watched, event);
}

void ToolbarController::scheduleTracking()
{
    if (trackingScheduled_)
        return;
    trackingScheduled_ = true;
    QPointer<ToolbarController> self = this;
    RunLoop::post([self] {
        if (!self)
            return;
        self->trackingScheduled_ = false;
        self->trackDividers();
    });
}

} // namespace velquine
