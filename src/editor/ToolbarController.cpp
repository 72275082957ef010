#include "editor/ToolbarController.h"

#include <QAction>
#include <QEvent>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "document/VQDocument.h"
#include "editor/DocumentListenerRelay.h"
#include "kit/KVView.h"
#include "kit/SymbolImages.h"
#include "kit/WindowActions.h"
#include "platform/Log.h"

namespace velquine {

namespace {

struct ItemSpec {
    const char* identifier;
    const char* symbol;
    const char* action;
    const char* label;
    bool validating;
    int tag;
};

const ItemSpec itemSpecs[] = {
    {"MyToggleSidebarItem", "sidebar.leading", "toggleSidebar:", "Toggle Sidebar", false, 123},
    {"ToggleNodeFocusItem", "eye", "toggleNodeFocus:", "Focus Selected Nodes", true, 0},
    {"centerNodeItem", "viewfinder", "centerSelectedNode:", "Center Selected Node", true, 0},
    {"KelvEmojisItem", "face.smiling", "pickEmoji:", "Add Emoji", false, 0},
    {"KelvPhotosItem", "photo", "pickPhoto:", "Add Photo", false, 0},
    {"SortItem", "textformat.abc", "sortSelectedNodeChildren:", "Sort Children", true, 0},
    {"BalanceItem", "arrow.left.and.line.vertical.and.arrow.right", "balanceSelectedNode:", "Balance Children", true,
     0},
    {"KelvHelpItem", "questionmark.circle", "showCheatSheet:", "Keyboard Shortcuts…", false, 0},
    {"KelvExportItem", "square.and.arrow.up", "showExportWindow:", "Export…", false, 0},
    {"ToggleNotesItem", "note.text", "toggleNoteView:", "Show Notes View", false, 0},
    {"ToggleInspectorItem", "sidebar.trailing", "myToggleInspector:", "Toggle Inspector", false, 0},
};

const ItemSpec* specFor(const QString& identifier)
{
    for (const ItemSpec& spec : itemSpecs)
        if (identifier == QLatin1String(spec.identifier))
            return &spec;
    return nullptr;
}

const QString trackingSplitItem = QStringLiteral("TrackingSplitItem");
constexpr const char* symbolProperty = "velquineSymbol";

} // namespace

const QString ToolbarController::flexibleSpace = QStringLiteral("NSToolbarFlexibleSpaceItem");
const QString ToolbarController::space = QStringLiteral("NSToolbarSpaceItem");
const QString ToolbarController::sidebarTrackingSeparator = QStringLiteral("NSToolbarSidebarTrackingSeparatorItem");

QStringList ToolbarController::toolbarDefaultItemIdentifiers()
{
    return {sidebarTrackingSeparator, flexibleSpace, QStringLiteral("ToggleNodeFocusItem"),
            QStringLiteral("centerNodeItem"), QStringLiteral("KelvEmojisItem"), QStringLiteral("KelvPhotosItem"),
            flexibleSpace, QStringLiteral("BalanceItem"), QStringLiteral("SortItem"), flexibleSpace,
            QStringLiteral("KelvHelpItem"), QStringLiteral("KelvExportItem"), trackingSplitItem,
            QStringLiteral("ToggleNotesItem"), QStringLiteral("ToggleInspectorItem")};
}

QStringList ToolbarController::toolbarAllowedItemIdentifiers()
{
    return {QStringLiteral("MyToggleSidebarItem"), flexibleSpace, space, QStringLiteral("ToggleNodeFocusItem"),
            QStringLiteral("centerNodeItem"), QStringLiteral("ToggleNotesItem"), QStringLiteral("BalanceItem"),
            QStringLiteral("SortItem"), QStringLiteral("ToggleInspectorItem"), QStringLiteral("KelvPhotosItem"),
            QStringLiteral("KelvEmojisItem"), QStringLiteral("KelvHelpItem"), QStringLiteral("KelvExportItem")};
}

ToolbarController::ToolbarController(QSplitter* splitView, WindowActions* actions,
                                     const std::shared_ptr<VQDocument>& document)
    : splitView_(splitView), actions_(actions), toolBar_(new QToolBar), validationTimer_(new QTimer(this)),
      relay_(std::make_shared<DocumentListenerRelay>(this))
{
    toolBar_->setObjectName(QStringLiteral("MyMainToolbar"));
    toolBar_->setWindowTitle(tr("Toolbar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(20, 20));
    addDefaultItems();
    toolBar_->installEventFilter(this);

    auto revalidate = [this] { validate(); };
    relay_->onSelection = revalidate;
    relay_->onBeginSession = revalidate;
    relay_->onCommitSession = revalidate;
    relay_->onCancelSession = revalidate;
    relay_->onReplaceProject = revalidate;
    if (document)
        document->registerEventListener(relay_);
    connect(validationTimer_, &QTimer::timeout, this, revalidate);
    validationTimer_->start(1000);
}

ToolbarController::~ToolbarController() = default;

QAction* ToolbarController::makeItem(const QString& identifier)
{
    const ItemSpec* spec = specFor(identifier);
    if (!spec || !SymbolImages::exists(QString::fromLatin1(spec->symbol)))
        return nullptr;
    // The focus and centre items are made by the second maker, the others by the first.
    const bool second = identifier == QLatin1String("ToggleNodeFocusItem") || identifier == QLatin1String("centerNodeItem");
    systemLog(std::string(second ? "customToolbarItem2() identifier: " : "customToolbarItem() identifier: ") +
              identifier.toStdString());
    const QString label = QString::fromUtf8(spec->label);
    auto* action = new QAction(toolBar_);
    action->setObjectName(identifier);
    action->setText(label);
    action->setToolTip(label);
    action->setIconText(label);
    action->setProperty(symbolProperty, QString::fromLatin1(spec->symbol));
    action->setIcon(SymbolImages::icon(QString::fromLatin1(spec->symbol), KVView::isDarkAppearance(toolBar_)));
    action->setCheckable(identifier == QLatin1String("ToggleNodeFocusItem"));
    action->setProperty("validating", spec->validating);
    if (actions_)
        actions_->bindAction(action, spec->action, spec->tag);
    return action;
}

QAction* ToolbarController::item(const QString& identifier) const
{
    for (QAction* action : toolBar_->actions())
        if (action->objectName() == identifier)
            return action;
    return nullptr;
}

bool ToolbarController::isValidating(const QString& identifier) const
{
    const ItemSpec* spec = specFor(identifier);
    return spec && spec->validating;
}

void ToolbarController::addDefaultItems()
{
    for (const QString& identifier : toolbarDefaultItemIdentifiers()) {
        if (identifier == flexibleSpace) {
            auto* spacer = new QWidget(toolBar_);
            spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            toolBar_->addWidget(spacer)->setObjectName(identifier);
        } else if (identifier == sidebarTrackingSeparator || identifier == trackingSplitItem) {
            toolBar_->addSeparator()->setObjectName(identifier);
        } else if (QAction* action = makeItem(identifier)) {
            toolBar_->addAction(action);
        }
    }
}

bool ToolbarController::eventFilter(QObject* watched, QEvent* event)
{
    // Items are made before the toolbar is in a window, and the window's appearance may change later: the
    // template symbols are drawn again in the label colour of the appearance the toolbar now has.
    if (watched == toolBar_ && (event->type() == QEvent::PaletteChange || event->type() == QEvent::Show))
        updateItemIcons();
    return QObject::eventFilter(watched, event);
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

void ToolbarController::validate()
{
    if (!actions_)
        return;
    for (QAction* action : toolBar_->actions())
        if (action->property("validating").toBool())
            actions_->validateToolbarAction(action);
}

} // namespace velquine
