#include "inspector/InspectorBarController.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include "document/DocumentListenerRelay.h"
#include "document/VQDocument.h"
#include "inspector/CheatSheetInspector.h"
#include "inspector/DocumentContentInspector.h"
#include "inspector/DocumentStyleInspector.h"
#include "inspector/NodeContentInspector.h"
#include "inspector/ObjectInfoInspector.h"
#include "inspector/NodeStyleInspector.h"
#include "kit/SymbolImages.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

const char* const tabKey = "lastSelectedInspectorTab";

} // namespace

InspectorBarController::InspectorBarController(const std::shared_ptr<VQDocument>& document, QWidget* parent)
    : InspectorSidebar(parent), document_(document), tabBar_(new KVVerticalTabBar(this)),
      scrollView_(new QScrollArea(this)), relay_(std::make_shared<DocumentListenerRelay>(this))
{
    setObjectName(QStringLiteral("InspectorBarController"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    scrollView_->setObjectName(QStringLiteral("inspectorScrollView"));
    scrollView_->setFrameShape(QFrame::NoFrame);
    scrollView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollView_->setWidgetResizable(true);
    scrollView_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    layout->addWidget(scrollView_, 1);
    layout->addWidget(tabBar_);
    tabBar_->setFixedWidth(32);
    resize(barWidth, 400);
    if (document)
        setUp();
}

InspectorBarController::~InspectorBarController()
{
    // The shown pane belongs to the bar, not to the scroll view: it goes while the bar is still whole, the
    // other panes with the bar's children.
    delete scrollView_->takeWidget();
}

InspectorController* InspectorBarController::adopt(InspectorController* pane)
{
    pane->setParent(this);
    pane->hide();
    pane->setDocument(document_.lock());
    pane->loadViewIfNeeded();
    return pane;
}

void InspectorBarController::setUp()
{
    documentStyleInspector_ = adopt(new DocumentStyleInspector);
    nodeStyleInspector_ = adopt(new NodeStyleInspector);
    documentContentInspector_ = adopt(new DocumentContentInspector);
    nodeContentInspector_ = adopt(new NodeContentInspector);
    objectInfoInspector_ = adopt(new ObjectInfoInspector);
    cheatSheetInspector_ = adopt(new CheatSheetInspector);

    tabBar_->setDelegate(this);
    const QSizeF symbolSize(tabBar_->width() - 4, tabBar_->width() - 4);
    auto symbol = [&](const char* name) {
        return SymbolImages::render(QString::fromLatin1(name), symbolSize, devicePixelRatioF(), Qt::black);
    };
    tabBar_->addItem(QStringLiteral("style"), tr("Style"), symbol("paintbrush"));
    tabBar_->addItem(QStringLiteral("content"), tr("Content"), symbol("doc.richtext"));
    relay_->onSelection = [this] { documentDidChangeSelection(); };
    // Undo, redo, reverting and a cancelled session put back a whole project, with the selection it had.
    relay_->onReplaceProject = [this] { documentDidChangeSelection(); };
    relay_->onCancelSession = [this] { documentDidChangeSelection(); };
    document_.lock()->registerEventListener(relay_);

    // A stored tab this bar does not have (information, help) is refused with a log line by the tab bar;
    // the sidebar then stays empty until the selection changes.
    tabBar_->selectItemAtIndex(UserDefaults::standard().integerForKey(tabKey));
}

QSize InspectorBarController::minimumSizeHint() const
{
    int widest = 0;
    for (const InspectorController* pane : {documentStyleInspector_, nodeStyleInspector_, documentContentInspector_,
                                            nodeContentInspector_, objectInfoInspector_, cheatSheetInspector_})
        if (pane)
            widest = std::max(widest, pane->minimumSizeHint().width());
    const int scrollBar = scrollView_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scrollView_);
    const QSize hint = QWidget::minimumSizeHint();
    return {std::max(hint.width(), widest + scrollBar + 2 * scrollView_->frameWidth() + tabBar_->width()),
            hint.height()};
}

bool InspectorBarController::hasSelectedNodes() const
{
    auto document = document_.lock();
    return document && !document->project().graph.findNodes(document->project().selectedNodeUIDs, 1).empty();
}

void InspectorBarController::showInspector(InspectorController* inspector)
{
    if (currentInspector_ == inspector) {
        inspector->inspectorDidShow();
        return;
    }
    if (InspectorController* old = currentInspector_) {
        scrollView_->takeWidget();
        old->setParent(this);
        old->hide();
        old->inspectorDidHide();
        currentInspector_ = nullptr;
    }
    currentInspector_ = inspector;
    // Every pane takes the sidebar's width; a filling pane its height too.
    inspector->setMaximumHeight(inspector->fillsScrollView() ? QWIDGETSIZE_MAX : inspector->sizeHint().height());
    scrollView_->setWidget(inspector);
    inspector->show();
    QPointer<QScrollArea> scroll = scrollView_;
    RunLoop::post([scroll] {
        if (scroll && scroll->widget())
            scroll->verticalScrollBar()->setValue(0);
    });
    inspector->inspectorDidShow();
}

void InspectorBarController::selectInspectorTab(const QString& identifier)
{
    if (document_.expired())
        return;
    const bool nodes = hasSelectedNodes();
    struct Row {
        const char* identifier;
        InspectorController* pane;
        int stored;
    };
    const Row rows[] = {
        {"style", nodes ? nodeStyleInspector_ : documentStyleInspector_, 0},
        {"content", nodes ? nodeContentInspector_ : documentContentInspector_, 1},
        {"info", objectInfoInspector_, 2},
        {"help", cheatSheetInspector_, 3},
    };
    for (const Row& row : rows) {
        if (identifier == QLatin1String(row.identifier)) {
            showInspector(row.pane);
            // Restoring the stored tab writes nothing: a write of the settings waits for the disk.
            if (UserDefaults::standard().integerForKey(tabKey) != row.stored)
                UserDefaults::standard().set(tabKey, row.stored);
            return;
        }
    }
}

void InspectorBarController::switchSidebarInspector(const ActionItem* sender)
{
    if (sender && sender->kind == ActionItemKind::menuItem)
        tabBar_->selectItemAtIndex(sender->tag);
}

void InspectorBarController::documentDidChangeSelection()
{
    if (document_.expired())
        return;
    const auto& items = tabBar_->items();
    const std::int64_t index = tabBar_->selectedItemIndex();
    const QString identifier = index >= 0 && index < std::int64_t(items.size()) ? items[index].identifier
                                                                                 : QStringLiteral("NoItem");
    const bool nodes = hasSelectedNodes();
    if (identifier == QLatin1String("style"))
        showInspector(nodes ? nodeStyleInspector_ : documentStyleInspector_);
    else if (identifier == QLatin1String("content"))
        showInspector(nodes ? nodeContentInspector_ : documentContentInspector_);
}

} // namespace velquine
