#include "editor/LayoutViewCommands.h"

#include <QString>

#include <algorithm>
#include <cmath>

#include "canvas/FocusInteraction.h"
#include "canvas/layers/NodeLayer.h"
#include "canvas/CanvasSync.h"
#include "document/DocumentLayout.h"
#include "editor/GraphViewController.h"
#include "kit/CommandTable.h"
#include "layout/GraphCollisionResolver.h"
#include "platform/Settings.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

Rect frameOf(const Node& node)
{
    return Rect(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                node.size.height);
}

} // namespace

void LayoutViewCommands::registerActions(const AddAction& addAction)
{
    addAction(commandSelector(Command::zoomIn), [this](const ActionItem*) { zoomIn(); });
    addAction(commandSelector(Command::zoomOut), [this](const ActionItem*) { zoomOut(); });
    addAction(commandSelector(Command::zoomDefault), [this](const ActionItem*) { zoomDefault(); });
    addAction(commandSelector(Command::dumpGraph), [this](const ActionItem*) { dumpGraph(); });
    addAction(commandSelector(Command::toggleDebugDrawing), [this](const ActionItem*) { toggleDebugDrawing(); });
    addAction(commandSelector(Command::forceReloadModel), [this](const ActionItem*) { forceReloadModel(); });
    addAction(commandSelector(Command::blong), [this](const ActionItem*) { scrollOriginIntoView(); });
    addAction(commandSelector(Command::resolveCollisions), [this](const ActionItem*) { resolveCollisions(); });
    addAction(commandSelector(Command::balanceSelectedNode), [this](const ActionItem*) { balanceSelectedNode(); });
    addAction(commandSelector(Command::autoLayoutGraph), [this](const ActionItem*) { autoLayoutGraph(); });
    addAction(commandSelector(Command::autoLayoutSelectedNode),
              [this](const ActionItem*) { autoLayoutSelectedNode(); });
    addAction(commandSelector(Command::autolayoutPartialTree), [this](const ActionItem*) { autolayoutPartialTree(); });
    addAction(commandSelector(Command::sortSelectedNodeChildren),
              [this](const ActionItem* sender) { sortSelectedNodeChildren(sender); });
    addAction(commandSelector(Command::toggleNodeFocus), [this](const ActionItem*) { toggleNodeFocus(); });
    addAction(commandSelector(Command::centerSelectedNode), [this](const ActionItem*) { centerSelectedNode(); });
    addAction(commandSelector(Command::centerSelectedNodeNoAnim), [this](const ActionItem*) { centerSelectedNode(); });
}

double LayoutViewCommands::zoomTarget() const
{
    if (zoomAnimation_ && zoomAnimation_->state() == QAbstractAnimation::Running)
        return zoomTarget_;
    return controller_.scrollView() ? controller_.scrollView()->magnification() : 1.0;
}

void LayoutViewCommands::setMagnificationAnimated(double magnification)
{
    ScrollView* scroll = controller_.scrollView();
    if (!scroll || !std::isfinite(magnification))
        return;
    if (zoomAnimation_)
        zoomAnimation_->stop(); // deletes it
    zoomTarget_ = std::clamp(magnification, scroll->minMagnification(), scroll->maxMagnification());
    if (UserDefaults::standard().boolForKey("disableAnimations") || !scroll->isVisible()
        || zoomTarget_ == scroll->magnification()) {
        scroll->setMagnification(zoomTarget_);
        return;
    }
    auto* animation = new QVariantAnimation(scroll);
    animation->setDuration(zoomAnimationDuration);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(scroll->magnification());
    animation->setEndValue(zoomTarget_);
    QObject::connect(animation, &QVariantAnimation::valueChanged, scroll,
                     [scroll](const QVariant& value) { scroll->setMagnification(value.toDouble()); });
    zoomAnimation_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void LayoutViewCommands::zoomIn()
{
    if (controller_.scrollView())
        setMagnificationAnimated(zoomTarget() + 0.25);
}

void LayoutViewCommands::zoomOut()
{
    if (controller_.scrollView())
        setMagnificationAnimated(zoomTarget() - 0.25);
}

void LayoutViewCommands::zoomDefault()
{
    setMagnificationAnimated(1.0);
}

void LayoutViewCommands::collisionDetectionModeDidSwitch()
{
    auto document = controller_.lockDocument();
    if (!document || !isCollisionDetectionEnabled())
        return;
    if (GraphCollisionResolver::hasOverlap(document->project().graph))
        runResolveCollisions("Resolve Collisions");
}

void LayoutViewCommands::runResolveCollisions(const std::string& label)
{
    auto document = controller_.lockDocument();
    if (!document)
        return;
    controller_.openSession(*document, label);
    DocumentLayout(*document).resolveCollisions();
    controller_.commitSession(*document);
}

void LayoutViewCommands::resolveCollisions()
{
    runResolveCollisions("Resolve Collisions");
}

void LayoutViewCommands::forceReloadModel()
{
    controller_.notifyDocumentListeners(
        [](VQDocumentEventListener& listener) { listener.documentDidReplaceProject(); });
}

void LayoutViewCommands::toggleDebugDrawing()
{
    // The flag the node layers read when they lay out their sublayers. The reload keeps the layers of
    // unchanged nodes as they are, so each is asked to lay out again and draws or drops its borders.
    NodeLayer::setDebugDrawingEnabled(!NodeLayer::isDebugDrawingEnabled());
    if (controller_.graphView())
        for (const auto& layer : controller_.graphView()->sync().nodeLayers())
            layer->setNeedsLayout();
    forceReloadModel();
}

void LayoutViewCommands::dumpGraph()
{
    if (auto document = controller_.lockDocument())
        document->project().graph.dump();
}

void LayoutViewCommands::scrollOriginIntoView()
{
    ScrollView* scroll = controller_.scrollView();
    if (!scroll)
        return;
    double m = scroll->magnification();
    Size size{scroll->width() / m, scroll->height() / m};
    scroll->scrollRectToVisible(Rect(-size.width / 2, -size.height / 2, size.width, size.height), 0.5);
}

// The node, as the project now holds it, is centred unless it lies entirely in view.
void LayoutViewCommands::revealNode(std::int64_t uid)
{
    auto document = controller_.lockDocument();
    if (!document || !controller_.scrollView())
        return;
    auto node = document->project().graph.node(uid);
    if (!node)
        return;
    // Where a centring under way comes to rest counts: it need not start again.
    if (controller_.scrollView()->targetVisibleRect().contains(frameOf(*node)))
        return;
    centerSelectedNode();
}

// The layout step, a collision pass and the commit, as one undo step.
void LayoutViewCommands::runLayoutCommand(const char* label, const std::function<void(VQDocument&)>& layout)
{
    auto document = controller_.lockDocument();
    if (!document)
        return;
    controller_.openSession(*document, label);
    layout(*document);
    DocumentLayout(*document).resolveCollisions();
    controller_.commitSession(*document);
}

void LayoutViewCommands::balanceSelectedNode()
{
    runLayoutCommand("Balance Children", [](VQDocument& document) { DocumentLayout(document).balanceSelectedNode(); });
}

void LayoutViewCommands::autoLayoutGraph()
{
    runLayoutCommand("Auto Layout", [](VQDocument& document) { DocumentLayout(document).autoLayoutGraph(true); });
}

void LayoutViewCommands::autoLayoutSelectedNode()
{
    runLayoutCommand("Auto Layout Node",
                     [](VQDocument& document) { DocumentLayout(document).autolayoutSelectedNodes(true); });
}

// From the first selected node when it has children, else from its parent, else from the node itself.
void LayoutViewCommands::autolayoutPartialTree()
{
    auto document = controller_.lockDocument();
    auto selection = controller_.projectSelection();
    if (!document || selection.empty())
        return;
    Node start = selection.front();
    if (start.childrenUIDs.empty())
        start = document->project().graph.parent(start).value_or(start);
    controller_.openSession(*document, "Auto Layout Partial Tree");
    DocumentLayout(*document).autolayoutPartialNodeTreeStartingAt(start, true);
    DocumentLayout(*document).resolveCollisions();
    controller_.commitSession(*document);
}

void LayoutViewCommands::sortSelectedNodeChildren(const ActionItem* sender)
{
    auto document = controller_.lockDocument();
    auto selection = controller_.projectSelection();
    if (!document || selection.empty())
        return;
    bool byCreation = sender && sender->kind == ActionItemKind::menuItem &&
                      QString::fromStdString(sender->title).toLower().contains(QStringLiteral("creation"));
    controller_.openSession(*document, "Sort Children");
    DocumentLayout layout(*document);
    layout.sortChildren(selection, byCreation ? ChildSortOrder::creationTime : ChildSortOrder::title);
    layout.autolayoutSelectedNodes(true);
    controller_.commitSession(*document);
}

void LayoutViewCommands::toggleNodeFocus()
{
    if (controller_.graphView())
        controller_.graphView()->focusMode().applyFocus();
}

void LayoutViewCommands::centerSelectedNode()
{
    if (auto centre = selectedOrFirstRootCentre())
        controller_.scrollView()->centerOn(*centre, 0.5);
}

// An opened map whose selected node stands at its edge would, centred on that node, show half of it cut off
// beside an empty half of the view: along each axis where the map fits in the view, the map is centred
// instead, and the node, inside the map, is in view all the same.
void LayoutViewCommands::centerSelectedNodeShowingMap()
{
    auto document = controller_.lockDocument();
    auto centre = selectedOrFirstRootCentre();
    if (!document || !centre)
        return;
    const Rect map = document->project().graph.boundingRect();
    const Rect visible = controller_.scrollView()->documentVisibleRect();
    const auto within = [](double c, double low, double high, double view) {
        return high - low <= view ? (low + high) / 2 : c;
    };
    centre->x = within(centre->x, map.minX(), map.maxX(), visible.width());
    centre->y = within(centre->y, map.minY(), map.maxY(), visible.height());
    controller_.scrollView()->centerOn(*centre, 0.5);
}

// The centre of the first selected node; with none selected, the first root in identifier order is selected
// and its centre given; with no node at all, the origin is scrolled into view and nothing given.
std::optional<Point> LayoutViewCommands::selectedOrFirstRootCentre()
{
    auto document = controller_.lockDocument();
    if (!document || !controller_.scrollView())
        return std::nullopt;
    auto selection = controller_.projectSelection();
    if (!selection.empty())
        return selection.front().center;
    // Found without copying the map's nodes.
    for (const Node& node : document->project().graph.storedNodes()) {
        if (document->project().graph.nodeType(node) != NodeType::root)
            continue;
        controller_.selectNodes({node}, false);
        return node.center;
    }
    scrollOriginIntoView();
    return std::nullopt;
}

} // namespace velquine
