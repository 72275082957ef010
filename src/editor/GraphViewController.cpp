#include "editor/GraphViewController.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "canvas/layers/NodeLayer.h"
#include "kit/CommandTable.h"
#include "layout/GraphCollisionResolver.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/Settings.h"
#include "platform/UserDefaults.h"
#include "canvas/PointerInteraction.h"
#include "canvas/TitleEditingInteraction.h"
#include "canvas/CanvasSync.h"

namespace velquine {

namespace {

// Node updates that the canvas shows at once; every other change reaches it through the session's commit.
// Bit n stands for operation code n: style, fill colour, border colour, branch colour, text colour, title.
constexpr std::uint32_t reloadingUpdates = 0x24494;

Rect frameOf(const Node& node)
{
    return Rect(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                node.size.height);
}

// Scroll offsets are whole pixels. A canvas whose edges lie on a grid of this many points moves by whole pixels
// when its rectangle changes, at every magnification in quarter steps, so putting the visible part back after
// a change lands exactly where it was.
constexpr double canvasGrid = 4;

Rect onCanvasGrid(const Rect& r)
{
    const double minX = std::floor(r.minX() / canvasGrid) * canvasGrid;
    const double minY = std::floor(r.minY() / canvasGrid) * canvasGrid;
    const double maxX = std::ceil(r.maxX() / canvasGrid) * canvasGrid;
    const double maxY = std::ceil(r.maxY() / canvasGrid) * canvasGrid;
    return Rect(minX, minY, maxX - minX, maxY - minY);
}

std::optional<Size> screenSize()
{
    if (auto* screen = QGuiApplication::primaryScreen())
        return Size{double(screen->size().width()), double(screen->size().height())};
    return std::nullopt;
}

} // namespace

std::shared_ptr<GraphViewController> GraphViewController::create(const std::shared_ptr<VQDocument>& document,
                                                                  GraphView* graphView, ScrollView* scrollView)
{
    std::shared_ptr<GraphViewController> controller(new GraphViewController(document, graphView, scrollView));
    controller->viewDidLoad();
    return controller;
}

GraphViewController::GraphViewController(const std::shared_ptr<VQDocument>& document, GraphView* graphView,
                                         ScrollView* scrollView)
    : document_(document), graphView_(graphView), scrollView_(scrollView)
{
    registerActions();
}

GraphViewController::~GraphViewController()
{
    NotificationCenter::defaultCenter().removeObserversOf(this);
}

bool GraphViewController::isDebugDrawingEnabled()
{
    return NodeLayer::isDebugDrawingEnabled();
}

void GraphViewController::viewDidLoad()
{
    auto document = document_.lock();
    if (!document)
        return;
    document->registerEventListener(shared_from_this());
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    collisionObserver_ = NotificationCenter::defaultCenter().addObserver(
        std::string(collisionDetectionModeDidSwitchNotification),
        [weakSelf](const Notification&) {
            if (auto self = weakSelf.lock())
                self->collisionDetectionModeDidSwitch();
        },
        this);
    if (graphView_) {
        graphView_->setDelegate(weakSelf);
        // Titles are typed in the canvas's own editor.
        QPointer<GraphView> canvas = graphView_;
        titleEditorStarter_ = [canvas](bool commitEvenIfTitleDoesntChange, std::function<void()> completion) {
            if (canvas)
                canvas->titleEditing().beginEditingSelectedTitles(commitEvenIfTitleDoesntChange, std::move(completion));
        };
    }
    reloadGraphView(true);
    document->focusGraphView();
}

void GraphViewController::registerActions()
{
    addAction(commandSelector(Command::zoomIn), [this](const ActionItem*) { zoomIn(); });
    addAction(commandSelector(Command::zoomOut), [this](const ActionItem*) { zoomOut(); });
    addAction(commandSelector(Command::zoomDefault), [this](const ActionItem*) { zoomDefault(); });
    addAction(commandSelector(Command::dumpGraph), [this](const ActionItem*) { dumpGraph(); });
    addAction(commandSelector(Command::toggleDebugDrawing), [this](const ActionItem*) { toggleDebugDrawing(); });
    addAction(commandSelector(Command::forceReloadModel), [this](const ActionItem*) { forceReloadModel(); });
    addAction(commandSelector(Command::blong), [this](const ActionItem*) { scrollOriginIntoView(); });
    registerStructureActions();
    registerStyleActions();
}

// ---- Sessions ----

GraphViewController::CommandSession GraphViewController::openSession(VQDocument& document, const std::string& label)
{
    CommandSession session;
    session.opened = !document.isInEditingSession();
    if (session.opened)
        document.beginEditingSession(label);
    else
        session.before = document.project();
    return session;
}

void GraphViewController::commitSession(VQDocument& document)
{
    if (document.isInEditingSession())
        document.commitEditingSession();
}

void GraphViewController::cancelSession(VQDocument& document, CommandSession& session)
{
    if (!document.isInEditingSession())
        return;
    if (session.opened) {
        document.cancelEditingSession();
        return;
    }
    // Someone else's session: undo only this command's changes and leave that session open.
    document.revertJoinedSession(std::move(session.before));
}

// ---- Selections ----

std::vector<Node> GraphViewController::projectSelection() const
{
    auto document = document_.lock();
    if (!document)
        return {};
    return document->project().graph.nodes(document->project().selectedNodeUIDs);
}

std::vector<Node> GraphViewController::canvasSelection() const
{
    if (!graphView_)
        return {};
    return graphView_->graph().nodes(graphView_->selectedNodeUIDs());
}

void GraphViewController::selectNodes(const std::vector<Node>& nodes, bool revealSingle)
{
    auto document = document_.lock();
    if (!document)
        return;
    if (nodes.size() == 1 && revealSingle)
        postReveal(nodes.front().uid);
    document->setSelectedNodes(nodes);
    notifyDocumentListeners([](VQDocumentEventListener& listener) { listener.documentDidChangeSelection(); });
}

void GraphViewController::notifyDocumentListeners(std::function<void(VQDocumentEventListener&)> event)
{
    if (auto document = document_.lock())
        document->notifyEventListeners(std::move(event));
}

// The node, as the project now holds it, is centred unless it lies entirely in view.
void GraphViewController::revealNode(std::int64_t uid)
{
    auto document = document_.lock();
    if (!document || !scrollView_)
        return;
    auto node = document->project().graph.node(uid);
    if (!node)
        return;
    // Where a centring under way comes to rest counts: it need not start again.
    if (scrollView_->targetVisibleRect().contains(frameOf(*node)))
        return;
    centerSelectedNode();
}

void GraphViewController::postReveal(std::int64_t uid)
{
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    RunLoop::post([weakSelf, uid] {
        if (auto self = weakSelf.lock())
            self->revealNode(uid);
    });
}

// A change of the whole project (a commit, a cancel, undo and redo) may move the selected node, or bring it
// back, away from the part of the map on screen: a single selected node that the canvas showed wholly in view,
// or did not show at all, is revealed afterwards. One the user had scrolled or dragged out of view stays there.
void GraphViewController::reloadGraphViewKeepingSelectionInView()
{
    auto document = document_.lock();
    if (!document || !graphView_ || !scrollView_) {
        reloadGraphView(false);
        return;
    }
    const std::vector<std::int64_t>& selection = document->project().selectedNodeUIDs;
    std::optional<std::int64_t> reveal;
    if (selection.size() == 1) {
        const NodeLayer* shown = graphView_->sync().nodeLayer(selection.front());
        if (!shown || scrollView_->targetVisibleRect().contains(shown->frame()))
            reveal = selection.front();
    }
    reloadGraphView(false);
    if (reveal)
        postReveal(*reveal);
}

// ---- Canvas reload ----

void GraphViewController::reloadGraphView(bool force)
{
    auto document = document_.lock();
    if (!document || !graphView_)
        return;
    GraphView& view = *graphView_;
    const VQProject& project = document->project();
    view.beginSyncLock();
    view.setGraph(project.graph);
    view.setProjectStyle(project.projectStyle);
    if (scrollView_) // a map smaller than the window, zoomed out, lies on its own background colour
        scrollView_->setBackgroundColor(project.projectStyle.current.backgroundColor.toQColor());
    view.setGrid(project.grid);
    view.setBaseLayoutOptions(project.baseLayoutOptions);
    view.pointer().updateSelectionAppearance(project.graph.nodes(project.selectedNodeUIDs));
    Rect canvasRect = onCanvasGrid(project.graph.canvasRect(screenSize()));
    if (!force && canvasRect == oldGraphBounds_) {
        view.endSyncLock();
        return;
    }
    // The canvas takes the new rectangle under the part of the map on screen, which stays where it is. The
    // scroll view keeps its magnification throughout: document points are what is remembered and put back,
    // so no rounding of a zoom there and back moves the map, and a centring under way goes on to its end.
    Rect visible = view.visibleRect();
    view.setFrameSize(canvasRect.size);
    view.setBoundsRect(canvasRect);
    if (scrollView_) {
        scrollView_->documentSizeChanged();
        scrollView_->scrollToPoint(visible.origin);
    }
    view.endSyncLock();
    if (force)
        scheduleForcedReloadChain();
    oldGraphBounds_ = canvasRect;
}

// One more reload once every listener has seen the project, then the selection centred on the turn after.
void GraphViewController::scheduleForcedReloadChain()
{
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    RunLoop::post([weakSelf] {
        auto self = weakSelf.lock();
        if (!self)
            return;
        self->forceReloadModel();
        RunLoop::post([weakSelf] {
            if (auto again = weakSelf.lock())
                again->centerSelectedNodeShowingMap();
        });
    });
}

// ---- Listener ----

void GraphViewController::documentDidReplaceProject()
{
    reloadGraphViewKeepingSelectionInView();
}

void GraphViewController::documentDidCancelEditingSession()
{
    reloadGraphViewKeepingSelectionInView();
}

void GraphViewController::documentDidCommitEditingSession()
{
    reloadGraphViewKeepingSelectionInView();
}

void GraphViewController::documentDidChangeBackgroundColor()
{
    reloadGraphView(false);
}

void GraphViewController::documentDidChangeStyle()
{
    reloadGraphView(false);
}

void GraphViewController::documentDidAddNodes(const std::vector<Node>& nodes)
{
    reloadGraphView(false);
    if (!nodes.empty())
        postReveal(nodes.front().uid);
}

void GraphViewController::documentDidUpdateNodes(const std::vector<Node>&, NodeUpdateOperation operation)
{
    auto code = static_cast<unsigned>(operation);
    if (code <= 17 && (reloadingUpdates >> code) & 1u)
        reloadGraphView(false);
}

void GraphViewController::documentDidChangeSelection()
{
    auto document = document_.lock();
    if (!document || !graphView_)
        return;
    graphView_->pointer().updateSelectionAppearance(document->project().graph.nodes(document->project().selectedNodeUIDs));
}

// ---- Zoom, collisions, debug ----

double GraphViewController::zoomTarget() const
{
    if (zoomAnimation_ && zoomAnimation_->state() == QAbstractAnimation::Running)
        return zoomTarget_;
    return scrollView_ ? scrollView_->magnification() : 1.0;
}

void GraphViewController::setMagnificationAnimated(double magnification)
{
    if (!scrollView_ || !std::isfinite(magnification))
        return;
    if (zoomAnimation_)
        zoomAnimation_->stop(); // deletes it
    zoomTarget_ = std::clamp(magnification, scrollView_->minMagnification(), scrollView_->maxMagnification());
    if (UserDefaults::standard().boolForKey("disableAnimations") || !scrollView_->isVisible()
        || zoomTarget_ == scrollView_->magnification()) {
        scrollView_->setMagnification(zoomTarget_);
        return;
    }
    auto* animation = new QVariantAnimation(scrollView_);
    animation->setDuration(zoomAnimationDuration);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(scrollView_->magnification());
    animation->setEndValue(zoomTarget_);
    QObject::connect(animation, &QVariantAnimation::valueChanged, scrollView_.data(),
                     [scroll = scrollView_.data()](const QVariant& value) { scroll->setMagnification(value.toDouble()); });
    zoomAnimation_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void GraphViewController::zoomIn()
{
    if (scrollView_)
        setMagnificationAnimated(zoomTarget() + 0.25);
}

void GraphViewController::zoomOut()
{
    if (scrollView_)
        setMagnificationAnimated(zoomTarget() - 0.25);
}

void GraphViewController::zoomDefault()
{
    setMagnificationAnimated(1.0);
}

void GraphViewController::collisionDetectionModeDidSwitch()
{
    auto document = document_.lock();
    if (!document || !isCollisionDetectionEnabled())
        return;
    if (GraphCollisionResolver::hasOverlap(document->project().graph))
        runResolveCollisions("Resolve Collisions");
}

void GraphViewController::runResolveCollisions(const std::string& label)
{
    auto document = document_.lock();
    if (!document)
        return;
    openSession(*document, label);
    document->resolveCollisions();
    commitSession(*document);
}

void GraphViewController::resolveCollisions()
{
    runResolveCollisions("Resolve Collisions");
}

void GraphViewController::forceReloadModel()
{
    notifyDocumentListeners([](VQDocumentEventListener& listener) { listener.documentDidReplaceProject(); });
}

void GraphViewController::toggleDebugDrawing()
{
    // The flag the node layers read when they lay out their sublayers. The reload keeps the layers of
    // unchanged nodes as they are, so each is asked to lay out again and draws or drops its borders.
    NodeLayer::setDebugDrawingEnabled(!NodeLayer::isDebugDrawingEnabled());
    if (graphView_)
        for (const auto& layer : graphView_->sync().nodeLayers())
            layer->setNeedsLayout();
    forceReloadModel();
}

void GraphViewController::dumpGraph()
{
    if (auto document = document_.lock())
        document->project().graph.dump();
}

void GraphViewController::scrollOriginIntoView()
{
    if (!scrollView_)
        return;
    double m = scrollView_->magnification();
    Size size{scrollView_->width() / m, scrollView_->height() / m};
    scrollView_->scrollRectToVisible(Rect(-size.width / 2, -size.height / 2, size.width, size.height), 0.5);
}

Point GraphViewController::pasteLocation() const
{
    if (!graphView_)
        return {};
    Rect visible = graphView_->visibleRect();
    if (visible.contains(graphView_->pointer().mouseMoveLocation))
        return graphView_->pointer().mouseMoveLocation;
    return visible.center();
}

} // namespace velquine
