#include "editor/GraphViewController.h"

#include <QGuiApplication>
#include <QScreen>

#include <atomic>

#include "layout/GraphCollisionResolver.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/Settings.h"

namespace velquine {

namespace {

std::atomic<bool> debugDrawing{false};

// Node updates that the canvas shows at once; every other change reaches it through the session's commit.
// Bit n stands for operation code n: style, fill colour, border colour, branch colour, text colour, title.
constexpr std::uint32_t reloadingUpdates = 0x24494;

Rect frameOf(const Node& node)
{
    return Rect(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                node.size.height);
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
    return debugDrawing.load();
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
        graphView_->delegate = weakSelf;
        // Titles are typed in the canvas's own editor.
        QPointer<GraphView> canvas = graphView_;
        titleEditorStarter_ = [canvas](bool commitEvenIfTitleDoesntChange, std::function<void()> completion) {
            if (canvas)
                canvas->beginEditingSelectedTitles(commitEvenIfTitleDoesntChange, std::move(completion));
        };
    }
    reloadGraphView(true);
    document->focusGraphView();
}

void GraphViewController::registerActions()
{
    addAction("zoomIn:", [this](const ActionItem*) { zoomIn(); });
    addAction("zoomOut:", [this](const ActionItem*) { zoomOut(); });
    addAction("zoomDefault:", [this](const ActionItem*) { zoomDefault(); });
    addAction("dumpGraph:", [this](const ActionItem*) { dumpGraph(); });
    addAction("toggleDebugDrawing:", [this](const ActionItem*) { toggleDebugDrawing(); });
    addAction("forceReloadModel:", [this](const ActionItem*) { forceReloadModel(); });
    addAction("blong:", [this](const ActionItem*) { scrollOriginIntoView(); });
    registerStructureActions();
    registerStyleActions();
}

// ---- Sessions ----

GraphViewController::CommandSession GraphViewController::openSession(VQDocument& document, const std::string& label)
{
    CommandSession session;
    session.opened = !document.isInEditingSession;
    if (session.opened)
        document.beginEditingSession(label);
    else
        session.before = document.project;
    return session;
}

void GraphViewController::commitSession(VQDocument& document)
{
    if (document.isInEditingSession)
        document.commitEditingSession();
}

void GraphViewController::cancelSession(VQDocument& document, CommandSession& session)
{
    if (!document.isInEditingSession)
        return;
    if (session.opened) {
        document.cancelEditingSession();
        return;
    }
    // Someone else's session: undo only this command's changes and leave that session open.
    document.project = std::move(session.before);
    document.notifyEventListeners([](VQDocumentEventListener& listener) { listener.documentDidReplaceProject(); });
}

// ---- Selections ----

std::vector<Node> GraphViewController::projectSelection() const
{
    auto document = document_.lock();
    if (!document)
        return {};
    return document->project.graph.nodes(document->project.selectedNodeUIDs);
}

std::vector<Node> GraphViewController::canvasSelection() const
{
    if (!graphView_)
        return {};
    return graphView_->graph().nodes(graphView_->selectedNodeUIDs);
}

void GraphViewController::selectNodes(const std::vector<Node>& nodes, bool revealSingle)
{
    auto document = document_.lock();
    if (!document)
        return;
    if (nodes.size() == 1 && revealSingle) {
        std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
        std::int64_t uid = nodes.front().uid;
        RunLoop::post([weakSelf, uid] {
            if (auto self = weakSelf.lock())
                self->revealNode(uid);
        });
    }
    document->project.setSelectedNodes(nodes);
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
    auto node = document->project.graph.node(uid);
    if (!node)
        return;
    if (scrollView_->documentVisibleRect().contains(frameOf(*node)))
        return;
    centerSelectedNode();
}

// ---- Canvas reload ----

void GraphViewController::reloadGraphView(bool force)
{
    auto document = document_.lock();
    if (!document || !graphView_)
        return;
    GraphView& view = *graphView_;
    const VQProject& project = document->project;
    view.beginSyncLock();
    view.setGraph(project.graph);
    view.setProjectStyle(project.projectStyle);
    if (scrollView_) // a map smaller than the window, zoomed out, lies on its own background colour
        scrollView_->setBackgroundColor(project.projectStyle.current.backgroundColor.toQColor());
    view.setGrid(project.grid);
    view.baseLayoutOptions = project.baseLayoutOptions;
    view.updateSelectionAppearance(project.graph.nodes(project.selectedNodeUIDs));
    Rect canvasRect = project.graph.canvasRect(screenSize());
    if (!force && canvasRect == oldGraphBounds_) {
        view.endSyncLock();
        return;
    }
    double magnification = scrollView_ ? scrollView_->magnification() : 1.0;
    if (scrollView_)
        scrollView_->setMagnification(1.0);
    Rect visible = view.visibleRect();
    view.setFrameSize(canvasRect.size);
    view.setBoundsRect(canvasRect);
    if (scrollView_) {
        scrollView_->documentSizeChanged();
        scrollView_->scrollRectToVisible(visible);
    }
    view.endSyncLock();
    if (force)
        scheduleForcedReloadChain();
    if (scrollView_)
        scrollView_->setMagnification(magnification);
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
                again->centerSelectedNode();
        });
    });
}

// ---- Listener ----

void GraphViewController::documentDidReplaceProject()
{
    reloadGraphView(false);
}

void GraphViewController::documentDidCancelEditingSession()
{
    reloadGraphView(false);
}

void GraphViewController::documentDidCommitEditingSession()
{
    reloadGraphView(false);
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
    if (nodes.empty())
        return;
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    std::int64_t uid = nodes.front().uid;
    RunLoop::post([weakSelf, uid] {
        if (auto self = weakSelf.lock())
            self->revealNode(uid);
    });
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
    graphView_->updateSelectionAppearance(document->project.graph.nodes(document->project.selectedNodeUIDs));
}

// ---- Zoom, collisions, debug ----

void GraphViewController::setMagnificationAnimated(double magnification)
{
    if (scrollView_)
        scrollView_->setMagnification(magnification);
}

void GraphViewController::zoomIn()
{
    if (scrollView_)
        setMagnificationAnimated(scrollView_->magnification() + 0.25);
}

void GraphViewController::zoomOut()
{
    if (scrollView_)
        setMagnificationAnimated(scrollView_->magnification() - 0.25);
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
    if (GraphCollisionResolver::hasOverlap(document->project.graph))
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
    debugDrawing = !debugDrawing.load();
    forceReloadModel();
}

void GraphViewController::dumpGraph()
{
    if (auto document = document_.lock())
        document->project.graph.dump();
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
    if (visible.contains(graphView_->mouseMoveLocation))
        return graphView_->mouseMoveLocation;
    return visible.center();
}

} // namespace velquine
