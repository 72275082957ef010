#include "editor/LayoutViewCommands.h"

#include <QString>

#include <algorithm>
#include <utility>
#include <cmath>
#include <limits>

#include "canvas/layers/NodeGeometry.h"
#include "canvas/layers/NodeLayer.h"
#include "document/DocumentLayout.h"
#include "editor/GraphViewController.h"
#include "kit/CommandTable.h"
#include "kit/ScrollView.h"
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

// What the view shows of a node, or of the map, that it brings into view: the frame with what a selected node
// draws beyond it (ring, handles, the hover button's stub) and the view's margin beside that, as far as the
// view holds them.
Rect broughtIn(const Rect& frame, Size view, double magnification)
{
    return ScrollView::withRevealMargin(frame, selectionReach, view, magnification);
}

// The frame with what a selected node draws beyond it: what showing the node whole shows.
Rect drawnFrame(const Rect& frame) { return frame.insetBy(-selectionReach, -selectionReach); }

bool fits(const Rect& shown, Size view) { return shown.width() <= view.width && shown.height() <= view.height; }

// The rectangle with x and y exchanged: what is worked out across is worked out down on the exchanged one.
Rect transposed(const Rect& r) { return Rect(r.minY(), r.minX(), r.height(), r.width()); }

// The view moved as little as needed, along each axis where the rectangle fits in it, to hold the rectangle.
Rect movedToHold(Rect view, const Rect& shown)
{
    if (shown.width() <= view.width()) {
        if (shown.minX() < view.minX())
            view.origin.x = shown.minX();
        else if (shown.maxX() > view.maxX())
            view.origin.x = shown.maxX() - view.width();
    }
    if (shown.height() <= view.height()) {
        if (shown.minY() < view.minY())
            view.origin.y = shown.minY();
        else if (shown.maxY() > view.maxY())
            view.origin.y = shown.maxY() - view.height();
    }
    return view;
}

Point nearestPoint(const Rect& r, Point p) { return {std::clamp(p.x, r.minX(), r.maxX()), std::clamp(p.y, r.minY(), r.maxY())}; }

// The left edge of a view of that width across the map: the map in the middle where it fits, else the view's
// own edge kept within the map as drawn with the view's margin beside it, so that a node at the map's edge
// comes whole and no more than the margin of empty canvas shows beyond it.
double acrossMap(double viewMinX, double viewWidth, const Rect& map, double magnification)
{
    if (map.width() <= viewWidth)
        return map.midX() - viewWidth / 2;
    constexpr double unbounded = std::numeric_limits<double>::infinity();
    const Rect room = broughtIn(map, Size{unbounded, unbounded}, magnification);
    return std::clamp(viewMinX, room.minX(), room.maxX() - viewWidth);
}

// The view moved along each axis to show as much of the map as it can (acrossMap).
Rect showingMap(Rect view, const Rect& map, double magnification)
{
    if (map.isNull())
        return view;
    view.origin.x = acrossMap(view.minX(), view.width(), map, magnification);
    view.origin.y = acrossMap(view.minY(), view.height(), transposed(map), magnification);
    return view;
}

// The view of that size centred on the point, then moved to show as much of the map as it can. A point of the
// map stays in view.
Rect centredShowingMap(Point centre, Size size, const Rect& map, double magnification)
{
    return showingMap(Rect::centeredAt(centre, size), map, magnification);
}

// The rectangle cut, along each axis where the map fits a view of that size, to the map widened by the room the
// view has beyond it.
Rect withinRoomAround(const Rect& r, const Rect& map, Size view)
{
    const double spareX = view.width - map.width(), spareY = view.height - map.height();
    double minX = r.minX(), maxX = r.maxX(), minY = r.minY(), maxY = r.maxY();
    if (spareX >= 0) {
        minX = std::max(minX, map.minX() - spareX);
        maxX = std::min(maxX, map.maxX() + spareX);
    }
    if (spareY >= 0) {
        minY = std::max(minY, map.minY() - spareY);
        maxY = std::min(maxY, map.maxY() + spareY);
    }
    return Rect(minX, minY, std::max(0.0, maxX - minX), std::max(0.0, maxY - minY));
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
    addAction(commandSelector(Command::blong), [this](const ActionItem*) { scrollOriginIntoView(0.5); });
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

// The view moves to where it comes to rest as the magnification changes. Scroll bars that come or go with the
// new size of the canvas change the visible area: once the zoom is done, what the view must show is checked
// again against the area as it is.
void LayoutViewCommands::zoomTo(double magnification, bool animated)
{
    ScrollView* scroll = controller_.scrollView();
    if (!scroll || !std::isfinite(magnification))
        return;
    if (zoomAnimation_)
        zoomAnimation_->stop(); // deletes it
    zoomTarget_ = std::clamp(magnification, scroll->minMagnification(), scroll->maxMagnification());
    const double from = scroll->magnification();
    const Rect before = scroll->targetVisibleRect();
    ZoomedView kept = zoomedView(before);
    kept.zooms = true;
    const Point start = before.center();
    const Size size{scroll->viewport()->width() / zoomTarget_, scroll->viewport()->height() / zoomTarget_};
    const Rect heading = keptInView(Rect::centeredAt(start, size), kept, zoomTarget_);
    const Point end = heading.center();
    // The canvas reaches where the zoom heads before it starts, so that the view can glide there.
    controller_.holdOnCanvas(heading);
    const auto finish = [controller = controller_.weak_from_this(), kept] {
        auto self = controller.lock();
        ScrollView* view = self ? self->scrollView() : nullptr;
        if (!view)
            return;
        // Where the view rests is worked out on the visible part as the new size of the canvas leaves it, and
        // once more when the canvas it takes brings or takes away a scroll bar.
        for (int pass = 0; pass < 2; ++pass) {
            view->settleScrollBars();
            const Rect now = view->documentVisibleRect();
            const Rect rest = keptInView(now, kept, view->magnification());
            if (rest == now)
                return;
            self->layoutView().showView(rest, 0);
        }
    };
    if (!animated || UserDefaults::standard().boolForKey("disableAnimations") || !scroll->isVisible()) {
        scroll->setMagnification(zoomTarget_);
        scroll->centerOn(end);
        finish();
        return;
    }
    if (zoomTarget_ == from && start == end)
        return;
    auto* animation = new QVariantAnimation(scroll);
    animation->setDuration(zoomAnimationDuration);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    const double to = zoomTarget_;
    QObject::connect(animation, &QVariantAnimation::valueChanged, scroll, [scroll, from, to, start, end](const QVariant& value) {
        const double t = value.toDouble();
        scroll->setMagnification(from + (to - from) * t);
        scroll->centerOn({start.x + (end.x - start.x) * t, start.y + (end.y - start.y) * t});
    });
    QObject::connect(animation, &QVariantAnimation::finished, scroll, finish);
    zoomAnimation_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

LayoutViewCommands::ZoomedView LayoutViewCommands::zoomedView(const Rect& before) const
{
    ZoomedView kept;
    auto document = controller_.lockDocument();
    ScrollView* scroll = controller_.scrollView();
    if (!document || !scroll || document->project().graph.isEmpty())
        return kept;
    kept.map = document->project().graph.boundingRect();
    kept.mapWasWhole = ScrollView::holds(before, kept.map, scroll->magnification());
    kept.mapWasMet = before.intersects(kept.map);
    const std::vector<Node> selection = controller_.projectSelection();
    if (selection.size() == 1)
        kept.selected = frameOf(selection.front());
    return kept;
}

Rect LayoutViewCommands::keptInView(Rect view, const ZoomedView& kept, double magnification)
{
    if (kept.map.isNull())
        return view;
    if (kept.zooms) {
        // With no node selected, a view that met nothing of the map stays where it is.
        if (kept.mapWasMet || kept.selected) {
            view.origin.x = zoomedAcross(view, kept.map, kept.selected, magnification);
            view.origin.y = zoomedAcross(transposed(view), transposed(kept.map),
                                         kept.selected ? std::optional(transposed(*kept.selected)) : std::nullopt,
                                         magnification);
        }
    } else {
        // The margin is room taken when the view moves anyway: a map it still holds keeps it where it is.
        if (kept.mapWasWhole && !ScrollView::holds(view, kept.map, magnification))
            view = movedToHold(view, broughtIn(kept.map, view.size, magnification));
        // A selected node the view held stays in it; when the view moves for it, it takes the node's room.
        if (kept.selected && !ScrollView::holds(view, *kept.selected, magnification)) {
            Rect room = broughtIn(*kept.selected, view.size, magnification);
            // A map kept whole stays so: the node's room reaches beyond the map no further than the view can spare.
            if (kept.mapWasWhole)
                room = withinRoomAround(room, kept.map, view.size);
            view = movedToHold(view, room);
        }
    }
    // A view that showed part of the map goes on showing some: the part nearest to it.
    if (kept.mapWasMet && !view.intersects(kept.map))
        view = centredShowingMap(nearestPoint(kept.map, view.center()), view.size, kept.map, magnification);
    return view;
}

// A zoom moves the whole picture, so the view takes its place over the map afresh (acrossMap): where the map fits
// it stands in the middle, where it does not the view keeps the point it zooms about, but not beyond the map's
// room. A selected node comes whole, with its margin: one whose room would not be in view is centred, so that
// what stands around it comes into view too, else the view moves as little as needed.
double LayoutViewCommands::zoomedAcross(const Rect& view, const Rect& map, const std::optional<Rect>& selected,
                                        double magnification)
{
    double minX = acrossMap(view.minX(), view.width(), map, magnification);
    if (!selected || map.width() <= view.width())
        return minX;
    const Rect room = broughtIn(*selected, view.size, magnification);
    // Whether the view holds the room across, by the view's own rule.
    if (!ScrollView::holds(Rect(minX, room.minY(), view.width(), room.height()), room, magnification))
        minX = acrossMap(selected->midX() - view.width() / 2, view.width(), map, magnification);
    if (room.width() <= view.width())
        minX = std::clamp(minX, room.maxX() - view.width(), room.minX());
    return minX;
}

void LayoutViewCommands::zoomIn()
{
    if (controller_.scrollView())
        zoomTo(zoomTarget() + 0.25, true);
}

void LayoutViewCommands::zoomOut()
{
    if (controller_.scrollView())
        zoomTo(zoomTarget() - 0.25, true);
}

void LayoutViewCommands::zoomDefault()
{
    zoomTo(1.0, true);
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
        for (const auto& layer : controller_.graphView()->nodeLayers())
            layer->setNeedsLayout();
    forceReloadModel();
}

void LayoutViewCommands::dumpGraph()
{
    if (auto document = controller_.lockDocument())
        document->project().graph.dump();
}

void LayoutViewCommands::scrollOriginIntoView(double animationDuration)
{
    ScrollView* scroll = controller_.scrollView();
    if (!scroll)
        return;
    scroll->centerOn({0, 0}, animationDuration);
}

void LayoutViewCommands::revealNode(std::int64_t uid)
{
    auto document = controller_.lockDocument();
    if (!document || !controller_.scrollView())
        return;
    auto node = document->project().graph.node(uid);
    if (!node)
        return;
    // Where a centring under way comes to rest counts: it need not start again.
    ScrollView* scroll = controller_.scrollView();
    const Rect frame = frameOf(*node);
    if (scroll->holds(drawnFrame(frame)))
        return;
    // A node in view but for what it draws beside it (its handles at the edge) comes whole with its margin, the
    // view moving as little as needed; one further out is centred.
    if (scroll->holds(frame)) {
        showView(broughtIn(frame, scroll->targetVisibleRect().size, scroll->magnification()), 0.5);
        return;
    }
    centerSelectedNodeShowingMap();
}

void LayoutViewCommands::showView(const Rect& shown, double animationDuration)
{
    ScrollView* scroll = controller_.scrollView();
    if (!scroll)
        return;
    // Where the view comes to rest, moving as little as needed.
    controller_.holdOnCanvas(movedToHold(scroll->targetVisibleRect(), shown));
    scroll->scrollRectToVisible(shown, animationDuration);
}

void LayoutViewCommands::scrollViewBoundsChanged()
{
    ScrollView* scroll = controller_.scrollView();
    if (!scroll)
        return;
    const ShownArea now{scroll->viewport()->size(), scroll->documentVisibleRect(), scroll->magnification()};
    const ShownArea before = std::exchange(shown_, now);
    if (now.viewportSize == before.viewportSize || now.magnification != before.magnification || before.visible.isEmpty())
        return;
    // A scroll under way (one that reveals a node beyond the edge) goes on to where it was going: that is the view
    // that narrowed or grew.
    visibleAreaResized(scroll->isAnimatingScroll() ? Rect(scroll->targetVisibleRect().origin, before.visible.size)
                                                   : before.visible);
}

void LayoutViewCommands::visibleAreaResized(const Rect& before)
{
    ScrollView* scroll = controller_.scrollView();
    if (!scroll)
        return;
    ZoomedView kept = zoomedView(before);
    if (kept.selected && !ScrollView::holds(before, *kept.selected, scroll->magnification()))
        kept.selected.reset();
    const Rect now = scroll->targetVisibleRect();
    if (const Rect rest = keptInView(now, kept, scroll->magnification()); !(rest == now))
        showView(rest, 0);
}

bool LayoutViewCommands::showsWholeMap(const Graph& graph) const
{
    ScrollView* scroll = controller_.scrollView();
    return scroll && (graph.isEmpty() || scroll->holds(graph.boundingRect()));
}

void LayoutViewCommands::keepMapInView(bool mapWasWhole)
{
    auto document = controller_.lockDocument();
    ScrollView* scroll = controller_.scrollView();
    if (!document || !scroll || document->project().graph.isEmpty())
        return;
    const Rect map = document->project().graph.boundingRect();
    const Rect visible = scroll->targetVisibleRect();
    const double magnification = scroll->magnification();
    if (mapWasWhole && fits(map, visible.size) && !ScrollView::holds(visible, map, magnification)) {
        showView(broughtIn(map, visible.size, magnification), 0.5);
        return;
    }
    // A view that shows nothing of the map (it went elsewhere) shows the part nearest to it; a single selected
    // node is revealed instead.
    if (visible.intersects(map) || controller_.projectSelection().size() == 1)
        return;
    showView(centredShowingMap(nearestPoint(map, visible.center()), visible.size, map, magnification), 0.5);
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
        controller_.graphView()->toggleFocusMode();
}

void LayoutViewCommands::centerSelectedNode()
{
    if (auto centre = selectedOrFirstRootCentre(0.5))
        controller_.scrollView()->centerOn(*centre, 0.5);
}

// A node at the edge of the map would, centred, show part of the map cut off beside an empty part of the view:
// the view shows as much of the map as it can with the node in it instead.
void LayoutViewCommands::centerSelectedNodeShowingMap(double animationDuration)
{
    auto document = controller_.lockDocument();
    auto centre = selectedOrFirstRootCentre(animationDuration);
    if (!document || !centre)
        return;
    ScrollView* scroll = controller_.scrollView();
    // The visible part without the scroll bars the canvas brings.
    scroll->settleScrollBars();
    const Rect visible = scroll->documentVisibleRect();
    const Rect map = document->project().graph.boundingRect();
    showView(centredShowingMap(*centre, visible.size, map, scroll->magnification()), animationDuration);
}

// The centre of the first selected node; with none selected, the first root in identifier order is selected
// and its centre given; with no node at all, the origin is scrolled into view and nothing given.
std::optional<Point> LayoutViewCommands::selectedOrFirstRootCentre(double animationDuration)
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
    scrollOriginIntoView(animationDuration);
    return std::nullopt;
}

} // namespace velquine
