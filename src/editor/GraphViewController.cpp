#include "editor/GraphViewController.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <utility>

#include "canvas/layers/NodeLayer.h"
#include "platform/RunLoop.h"
#include "platform/Settings.h"

namespace velquine {

namespace {

constexpr std::uint32_t operationBit(NodeUpdateOperation operation)
{
    return 1u << static_cast<unsigned>(operation);
}

// Node updates that the canvas shows at once; every other change reaches it through the session's commit.
constexpr std::uint32_t reloadingUpdates =
    operationBit(NodeUpdateOperation::style) | operationBit(NodeUpdateOperation::fillColor)
    | operationBit(NodeUpdateOperation::borderColor) | operationBit(NodeUpdateOperation::branchColor)
    | operationBit(NodeUpdateOperation::textColor) | operationBit(NodeUpdateOperation::title);

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

// The canvas widened to hold the part of it on screen where it stands, also once a scroll bar goes away and
// the view grows to its largest size. Along an axis where the canvas reaches before the view, its scroll bar
// stays (the view is scrolled along it), and the canvas holds the view's largest extent there when the other
// axis's scroll bar can go away, that is when the canvas fits the view's largest extent along that other axis:
// the bar gone widens the view where it stands, not pushed back from the canvas's far edge. A bar that stays
// leaves the view as it is and asks for no room. Along an axis where the view stands at the canvas's start,
// the view grows from there and needs no more room.
Rect holdingInPlace(Rect canvas, const Rect& shown, Size largest)
{
    canvas = onCanvasGrid(canvas.unionWith(shown));
    Size room = shown.size;
    if (canvas.minX() < shown.minX() && canvas.height() <= largest.height)
        room.width = std::max(room.width, largest.width);
    if (canvas.minY() < shown.minY() && canvas.width() <= largest.width)
        room.height = std::max(room.height, largest.height);
    return onCanvasGrid(canvas.unionWith(Rect(shown.origin, room)));
}

// The canvas made to reach the rectangle a view is to show. Along an axis where the canvas is shorter than the
// rectangle, the scroll view keeps it in the middle of the view and does not scroll: the canvas is widened to
// stand evenly about the rectangle's middle, and so shows the rectangle's middle there. Along the others it
// holds the rectangle where it stands (holdingInPlace).
Rect reaching(Rect canvas, Rect shown, Size largest)
{
    if (canvas.width() < shown.width()) {
        const double half = std::max(shown.midX() - canvas.minX(), canvas.maxX() - shown.midX());
        canvas = Rect(shown.midX() - half, canvas.minY(), 2 * half, canvas.height());
        shown = Rect(std::max(shown.minX(), canvas.minX()), shown.minY(), std::min(shown.width(), canvas.width()),
                     shown.height());
    }
    if (canvas.height() < shown.height()) {
        const double half = std::max(shown.midY() - canvas.minY(), canvas.maxY() - shown.midY());
        canvas = Rect(canvas.minX(), shown.midY() - half, canvas.width(), 2 * half);
        shown = Rect(shown.minX(), std::max(shown.minY(), canvas.minY()), shown.width(),
                     std::min(shown.height(), canvas.height()));
    }
    return holdingInPlace(canvas, shown, largest);
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
    : document_(document), graphView_(graphView), scrollView_(scrollView),
      structure_(std::make_unique<StructureCommands>(*this)), style_(std::make_unique<StyleCommands>(*this)),
      layoutView_(std::make_unique<LayoutViewCommands>(*this)), clipboard_(std::make_unique<ClipboardCommands>(*this))
{
    registerActions();
}

GraphViewController::~GraphViewController()
{
    NotificationCenter::defaultCenter().removeObserversOf(this);
}

void GraphViewController::viewDidLoad()
{
    auto document = document_.lock();
    if (!document)
        return;
    document->registerEventListener(shared_from_this());
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    NotificationCenter::defaultCenter().addObserver(
        std::string(collisionDetectionModeDidSwitchNotification),
        [weakSelf](const Notification&) {
            if (auto self = weakSelf.lock())
                self->layoutView().collisionDetectionModeDidSwitch();
        },
        this);
    if (graphView_) {
        graphView_->setDelegate(weakSelf);
        // Titles are typed in the canvas's own editor.
        QPointer<GraphView> canvas = graphView_;
        titleEditorStarter_ = [canvas](bool commitEvenIfTitleDoesntChange, std::function<void()> completion) {
            if (canvas)
                canvas->beginEditingSelectedTitles(commitEvenIfTitleDoesntChange, std::move(completion));
        };
    }
    if (scrollView_)
        QObject::connect(scrollView_, &ScrollView::boundsChanged, scrollView_, [weakSelf] {
            if (auto self = weakSelf.lock())
                self->layoutView().scrollViewBoundsChanged();
        });
    reloadGraphView(true);
    // The window's first frame shows the selection (or the first root) centred already.
    if (scrollView_)
        layoutView().centerSelectedNodeShowingMap(0);
    document->focusGraphView();
}

void GraphViewController::registerActions()
{
    const AddAction add = [this](const std::string& selector, Handler handler) {
        addAction(selector, std::move(handler));
    };
    structure_->registerActions(add);
    style_->registerActions(add);
    layoutView_->registerActions(add);
    clipboard_->registerActions(add);
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

bool GraphViewController::startTitleEditor(bool commitEvenIfTitleDoesntChange, std::function<void()> completion)
{
    if (!titleEditorStarter_)
        return false;
    titleEditorStarter_(commitEvenIfTitleDoesntChange, std::move(completion));
    return true;
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

void GraphViewController::postKeepMapInView(bool mapWasWhole)
{
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    RunLoop::post([weakSelf, mapWasWhole] {
        if (auto self = weakSelf.lock())
            self->layoutView().keepMapInView(mapWasWhole);
    });
}

void GraphViewController::postReveal(std::int64_t uid)
{
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    RunLoop::post([weakSelf, uid] {
        if (auto self = weakSelf.lock())
            self->layoutView().revealNode(uid);
    });
}

// A change of the whole project (a commit, a cancel, undo and redo) may move the selected node away from the
// part of the map on screen, or bring back one that was elsewhere: a single selected node is revealed afterwards.
void GraphViewController::reloadGraphViewKeepingSelectionInView()
{
    reloadGraphView(false);
    if (const std::vector<Node> selection = projectSelection(); scrollView_ && selection.size() == 1)
        postReveal(selection.front().uid);
}

// ---- Canvas reload ----

void GraphViewController::reloadGraphView(bool force)
{
    auto document = document_.lock();
    if (!document || !graphView_)
        return;
    GraphView& view = *graphView_;
    const VQProject& project = document->project();
    // Once the change has come to rest, a map the view showed whole stays whole while it fits, and a view left
    // with nothing of the map is brought back to it.
    if (!force && scrollView_)
        postKeepMapInView(layoutView_->showsWholeMap(view.graph()));
    view.beginSyncLock();
    view.setGraph(project.graph);
    view.setProjectStyle(project.projectStyle);
    if (scrollView_) // a map smaller than the window, zoomed out, lies on its own background colour
        scrollView_->setBackgroundColor(project.projectStyle.current.backgroundColor.toQColor());
    view.setGrid(project.grid);
    view.setBaseLayoutOptions(project.baseLayoutOptions);
    view.showSelection(project.graph.nodes(project.selectedNodeUIDs));
    // The canvas also holds the part of it on screen (and where a scroll under way ends), so that a map that
    // shrinks or moves away never takes the ground from under the view.
    Rect canvasRect = onCanvasGrid(project.graph.canvasRect(screenSize()));
    if (scrollView_ && !force && !oldGraphBounds_.isEmpty()) {
        const Size largest = scrollView_->largestVisibleSize();
        for (const Rect& shown : {view.visibleRect(), scrollView_->targetVisibleRect()})
            canvasRect = holdingInPlace(canvasRect, shown, largest);
    }
    if (!force && canvasRect == oldGraphBounds_) {
        view.endSyncLock();
        return;
    }
    reframeCanvas(canvasRect);
    view.endSyncLock();
    if (force)
        scheduleForcedReloadChain();
}

// The scroll view keeps its magnification throughout: document points are what is remembered and put back, so
// no rounding of a zoom there and back moves the map, and a centring under way goes on to its end.
void GraphViewController::reframeCanvas(const Rect& canvasRect)
{
    GraphView& view = *graphView_;
    const Rect visible = view.visibleRect();
    view.setFrameRect(canvasRect);
    if (scrollView_) {
        scrollView_->scrollToPoint(visible.origin);
        // What is worked out from the visible part next (whether the map still fits in view) sees the size the
        // new canvas leaves it, not the size it had before a scroll bar came or went.
        scrollView_->settleScrollBars();
    }
    oldGraphBounds_ = canvasRect;
}

void GraphViewController::holdOnCanvas(const Rect& shown)
{
    if (!graphView_ || !scrollView_ || oldGraphBounds_.isEmpty() || shown.isNull())
        return;
    const Rect canvasRect = reaching(oldGraphBounds_, shown, scrollView_->largestVisibleSize());
    if (canvasRect == oldGraphBounds_)
        return;
    graphView_->beginSyncLock();
    reframeCanvas(canvasRect);
    graphView_->endSyncLock();
}

// One more reload once every listener has seen the project, then the selection centred on the turn after.
void GraphViewController::scheduleForcedReloadChain()
{
    std::weak_ptr<GraphViewController> weakSelf = weak_from_this();
    RunLoop::post([weakSelf] {
        auto self = weakSelf.lock();
        if (!self)
            return;
        self->layoutView().forceReloadModel();
        RunLoop::post([weakSelf] {
            if (auto again = weakSelf.lock())
                again->layoutView().centerSelectedNodeShowingMap();
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
    if (reloadingUpdates & operationBit(operation))
        reloadGraphView(false);
}

void GraphViewController::documentDidReadPictures(const std::vector<Node>&)
{
    reloadGraphView(false);
}

void GraphViewController::documentDidChangeSelection()
{
    auto document = document_.lock();
    if (!document || !graphView_)
        return;
    graphView_->showSelection(document->project().graph.nodes(document->project().selectedNodeUIDs));
}

} // namespace velquine
