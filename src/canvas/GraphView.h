#pragma once

// The canvas on which one mind map is drawn and edited.
//
// GraphView keeps its own copies of the graph, grid, project style, base layout options and selection, which
// its controller pushes in, and mirrors them in a tree of layers (back to front, z among siblings):
//
//   view layer (its bounds are the view's bounds: sublayer positions are canvas coordinates)
//     background layer  -100   the document's background colour
//       grid layer       -99   the background grid, drawn only where visible
//     branch layers      -11   one per parent-child link, raised by 1/d² of the two node centres
//     node layers        -10   one per node
//     selection layer,
//     "Attach" badge      -5   rubber band and attach feedback
//
// The canvas never writes the graph back; every edit that starts here goes to the delegate.
//
// Setting graph, grid or projectStyle reloads every layer unless the synchronisation lock is set; a controller
// brackets a set of pushes with beginSyncLock() and endSyncLock() so one reload follows them. A reload looks
// at what changed since the last one: graphs share unchanged nodes (Graph::sharedNode), so a node whose
// storage is the one its layer last showed costs nothing, and only the layers of changed nodes and the
// branches at their ends are touched. Anything that changes node layers outside a reload (dragging,
// resizing) calls invalidateLayerState() so that the next reload revisits every layer.
//
// Canvases made for printing and export set printingMode and are drawn with render(): hover buttons are then
// never shown. The view is flipped (y grows downwards); UnflippedGraphView draws with y growing upwards. It
// normally sits in a ScrollView, which magnifies it.

#include <QMetaObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/FlatHashMap.h"
#include "canvas/GraphViewDelegate.h"
#include "canvas/layers/NodeGeometry.h"
#include "kit/LayerHostWidget.h"
#include "model/graph/Graph.h"
#include "model/graph/Grid.h"
#include "model/graph/LayoutOptions.h"
#include "model/style/ProjectStyle.h"
#include "platform/Geometry.h"

class QCursor;
class QMenu;
class QMimeData;
class QPainter;
class QTimer;

namespace velquine {

class BranchLayer;
class GridLayer;
class Layer;
class NodeLayer;
class TextLayer;
struct GraphViewIndex;
class NodeTitleEditor;

class GraphView : public LayerHostWidget {
    Q_OBJECT

public:
    // The state of the mouse input.
    enum class GraphViewInputPhase { idle, massSelecting, nodeResizing, nodeDragging, hoverButtonDrag, rightMouseDrag };

    // A node drag under way: a copy of the grabbed node, whose centre follows the pointer, and where the
    // pointer grabbed it (mouse-down point − its centre).
    struct NodeDraggingContext {
        Node mainDraggedNode;
        Point dragOffsetFromCenter;
    };
    // A resize under way: a copy of the node whose centre and size accumulate the drag.
    struct NodeResizingContext {
        Node node;
        Point initialMousePosition;
        NodeHandle grabbedHandle = NodeHandle::none;
    };
    // The preview of the child a hover-button drag will insert: never part of the document.
    struct DragGhost {
        std::shared_ptr<NodeLayer> parentNodeLayer;
        std::shared_ptr<NodeLayer> ghostNodeLayer;
        std::shared_ptr<BranchLayer> ghostBranchLayer;
    };

    // Set while focus mode is on: a copy of the focussed node as it was when focus mode began.
    struct FocusContext {
        Node focussedRootNode;
    };

    // The z positions of the canvas's layers.
    static constexpr double backgroundZPosition = -100;
    static constexpr double gridZPosition = -99;
    static constexpr double branchZPosition = -11;
    static constexpr double nodeZPosition = -10;
    static constexpr double overlayZPosition = -5;
    static constexpr double draggedNodeZPosition = -5;
    static constexpr double draggedBranchZPosition = -6;
    // Drag feedback: dragged layers cast a shadow only while this few are dragged.
    static constexpr std::size_t maxShadowedDraggedLayers = 16;

    explicit GraphView(QWidget* parent = nullptr);
    // A view of the frame's size whose bounds are (0, 0) and that size. boundsRect() is the area of the canvas
    // the view shows (canvas coordinates); setBoundsRect() with another size scales it into the frame.
    explicit GraphView(Rect frame, QWidget* parent = nullptr);
    ~GraphView() override;

    // The part of the bounds currently on screen: the visible area of the enclosing scroll view, else the bounds.
    Rect visibleRect() const;
    // The enclosing scroll view scrolled or zoomed: the grid draws what became visible.
    void didChangeBounds();

    // ---- Displayed values ----

    const Graph& graph() const { return graph_; }
    void setGraph(const Graph& graph);
    const Grid& grid() const { return grid_; }
    void setGrid(const Grid& grid);
    const ProjectStyle& projectStyle() const { return projectStyle_; }
    void setProjectStyle(const ProjectStyle& style);
    // Used for trees whose root has no layout options; setting it reloads nothing.
    LayoutOptions baseLayoutOptions;
    // The selection shown, as last pushed by the controller (the document owns the selection); setting it
    // reloads nothing.
    const std::vector<std::int64_t>& selectedNodeUIDs() const { return selectedNodeUIDs_; }
    void setSelectedNodeUIDs(std::vector<std::int64_t> uids) { selectedNodeUIDs_ = std::move(uids); }
    // Set on canvases made for printing and export, right after creation: nothing is ever hovered.
    bool printingMode = false;

    // ---- Synchronisation ----

    bool isSynclocked() const { return isSynclocked_; }
    void beginSyncLock();
    // Clears the lock and reloads, whether or not it was set.
    void endSyncLock();
    // Brings every layer in line with the displayed values; nothing while the lock is set.
    void reloadLayers();
    // The next reload revisits every layer instead of only those of changed nodes.
    void invalidateLayerState();

    // The steps of a reload, also used while nodes are dragged or resized and by off-screen renderers.
    void syncNodeLayers();
    void syncBranchLayers();
    void updateNodeLayerPositions(bool resetDragState);
    void updateBranchLayers();
    void updateGridLayer();
    // A new, configured layer for the node or the link, added nowhere.
    std::shared_ptr<NodeLayer> makeNodeLayer(const Node& node);
    std::shared_ptr<BranchLayer> makeBranchLayer(const Node& parent, const Node& child);
    // The node layers, in creation order: retained layers keep their order, new ones are appended.
    const std::vector<std::shared_ptr<NodeLayer>>& nodeLayers() const;
    const std::vector<std::shared_ptr<BranchLayer>>& branchLayers() const;
    // The node layer showing the node, or null.
    NodeLayer* nodeLayer(std::int64_t uid) const;
    // The branch layer of the link, or null.
    BranchLayer* branchLayer(std::int64_t parentUID, std::int64_t childUID) const;
    // The branch layers that end at the node, as parent or as child, in no particular order.
    std::vector<BranchLayer*> branchLayersAt(std::int64_t uid) const;
    // Shows or hides the node layer's "+" button; a shown button takes the document's background colour.
    // Printing canvases never show it.
    void setHoverButtonShown(NodeLayer& layer, bool shown);
    // The layout options that govern the node: its tree root's own options, else baseLayoutOptions.
    LayoutOptions layoutOptionsGoverning(const Node& node) const;

    // ---- Layers ----

    // The view layer with every sublayer where the graph puts it.
    Layer& viewLayer() const;
    Layer& backgroundLayer() const { return *backgroundLayer_; }
    GridLayer& gridLayer() const { return *gridLayer_; }
    Layer& selectionLayer() const { return *selectionLayer_; }
    TextLayer& attachBadgeLayer() const { return *attachBadgeLayer_; }
    // Gives every layer the view's effective backing scale (the screen's pixels per point times the
    // magnification).
    void updateContentsScale();

    // ---- Selection and rubber band ----

    GraphViewInputPhase inputPhase = GraphViewInputPhase::idle;
    // The rubber band: origin at the mouse-down point, size = current point − origin (may be negative).
    Rect selectionRect;
    // Points in view coordinates (the canvas's, that is).
    void beginRubberBandSelection(Point point);
    void updateRubberBandSelection(Point point);
    void endRubberBandSelection(Point point);
    // Pushes a selection into the view and its node layers without animation.
    void updateSelectionAppearance(const std::vector<Node>& nodes);

    // ---- Focus mode ----

    const std::optional<FocusContext>& focusContext() const { return focusContext_; }
    // On for the first selected node the graph holds, or off again.
    void applyFocus();
    // On for the node: everything outside its subtree fades.
    void focus(const Node& node);

    // ---- Pointer ----

    Point mouseDownLocation;
    Point mouseUpLocation;
    // Last pointer position seen; decides which node layers are hovered when they are built.
    Point mouseMoveLocation;
    Point rightMouseDownLocation;
    Point rightMouseUpLocation;

    std::weak_ptr<GraphViewDelegate> delegate;

    // ---- Dragging, resizing and the hover-button ghost ----

    std::optional<NodeDraggingContext> nodeDraggingContext;
    std::optional<NodeResizingContext> nodeResizingContext;
    // The layers moved by the last drag step, each once, in the order they were moved.
    std::vector<NodeLayer*> draggedLayers;
    // The hovered layers whose "+" button was under the last mouse-down.
    std::vector<NodeLayer*> clickedHoverButtons;
    const std::optional<DragGhost>& ghost() const { return ghost_; }
    // Makes the ghost child of the layer's node; a second call while a ghost exists only logs.
    void createGhostForNodeLayer(const std::shared_ptr<NodeLayer>& parentNodeLayer);
    // Moves the ghost to mouseMoveLocation; nothing without a ghost.
    void updateGhostPosition();
    void removeGhost();
    std::shared_ptr<NodeLayer> makeGhostNodeLayer(const Node& parentNode);
    std::shared_ptr<BranchLayer> makeGhostBranchLayer(const Node& parentNode, const Node& ghostNode);
    void updateGhostBranch(BranchLayer& branch, const NodeLayer& parentNodeLayer, const NodeLayer& ghostNodeLayer);
    // The cursors over the diagonal resize handles.
    static QCursor cursorNESW();
    static QCursor cursorNWSE();

    // ---- Keyboard navigation ----

    enum class NavigationDirection { up, left, down, right };
    // Selects the neighbour in the direction (through the delegate), or beeps when there is none.
    void moveSelection(NavigationDirection direction);
    // Structural navigation in automatically laid out trees, then the nearest node in the direction inside the
    // tree of the first selected node, then over the whole map. Whether a node was chosen.
    bool navigate(NavigationDirection direction);
    bool selectRelatedNodeInTree(NavigationDirection direction);
    bool selectNearestNode(std::vector<Node> candidates, NavigationDirection direction);
    static double squaredDistanceToNearestCorner(const Rect& rect, Point point);

    // Home: the root of the first selected node's tree; End: the most recently modified node of that tree.
    bool selectRootOfSelection();
    // Home without a selection: the first root of the graph; false when the graph has none.
    bool selectFirstRoot();
    bool selectLastModifiedNodeInTree();

    // ---- In-place title editing (GraphViewTitleEditor.cpp) ----

    // The edit in progress, or the last one: the node as it was when editing began (before any initial text),
    // what runs when the edit ends, and whether an unchanged title still counts as an edit.
    struct EditingContext {
        std::int64_t nodeUID = 0;
        Node node;
        std::function<void()> completionHandler;
        bool commitEvenIfTitleDoesntChange = false;
    };
    // Opens the title editor over the node layer. An edit already running is committed first. With an initial
    // text the title starts as that text; selectAll selects the whole title, else the caret stands at the end.
    void beginEditingTitle(NodeLayer& layer, bool commitEvenIfTitleDoesntChange,
                           std::optional<std::string> initialText, bool selectAll,
                           std::function<void()> completionHandler);
    // beginEditingTitle on every selected node layer, with the title selected and no initial text.
    void beginEditingSelectedTitles(bool commitEvenIfTitleDoesntChange, std::function<void()> completionHandler);
    // Commits (true) or cancels (false) the edit; nothing when none is running.
    void endEditingTitle(bool commit);
    // Refits the node and the editor to the typed text.
    void resizeTitleEditorToFit();
    // Escape in the editor: the edit is cancelled.
    void cancelOperation();
    bool isNodeEditorActive() const { return isNodeEditorActive_; }
    const std::optional<EditingContext>& editingContext() const { return editingContext_; }
    // The shared text view; null until the first edit.
    NodeTitleEditor* nodeEditor() const { return nodeEditor_; }

    // ---- Context menus and zoom (GraphViewMenus.cpp) ----

    // Shown on a right click on a node, and on empty canvas. Not owned; either may be null.
    QPointer<QMenu> nodeContextMenu;
    QPointer<QMenu> documentContextMenu;
    // Pops the node or the document menu up at the view point (canvas coordinates); the menu that was shown.
    QMenu* popUpContextMenu(Point point);

    // ---- Drawing ----

    // Draws the bounds (or the source area of the canvas) into the target rectangle of the painter, whether the
    // view is shown or not. With vector set, nothing is drawn from cached pictures (for PDF output).
    void render(QPainter& painter, const QRectF& target, std::optional<Rect> source = std::nullopt,
                bool vector = false);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    // One-time configuration of the layer tree.
    void setUp();
    void setupBackgroundLayer();
    void setupGridLayer();
    void setUpSelectionLayer();
    void setUpAttachBadgeLayer();

private:
    friend struct GraphViewIndex;
    struct ReloadPlan;

    std::vector<std::int64_t> selectedNodeUIDs_;

    // Mouse and key input (GraphViewInput.cpp).
    void leftMouseDown(Point point, Qt::KeyboardModifiers modifiers);
    void leftMouseUp(Point point);
    // Asks the delegate to make the nodes the document's selection; nothing without one.
    void askForSelection(const std::vector<Node>& nodes);
    std::vector<NodeLayer*> nodeLayersAt(Point point) const;
    // The window's command for a canvas key, sent along its action chain; beeps when nothing answers.
    void sendWindowAction(const char* selector);
    bool handleCanvasKey(QKeyEvent* event);
    // The nodes of the selected identifiers the graph holds, in selection order.
    std::vector<Node> selectedNodes() const { return graph_.nodes(selectedNodeUIDs_); }
    void chooseNode(const Node& node);
    int clickCount_ = 1;
    // A right click that ended no pan: the node under the pointer is selected and its menu pops up.
    void rightClick(Point point);
    // Typing a printable character with one node selected starts editing its title with that text.
    bool beginEditingTitleFromKey(QKeyEvent* event);

    // Title editing internals (GraphViewTitleEditor.cpp).
    void makeTitleEditor();
    void forEachSelectedLayer(const std::function<void(NodeLayer&)>& body);
    // The side a node grows to while its title is typed: the one facing away from its parent.
    std::uint8_t growthAnchor(const Node& node) const;
    // Puts the editor over the label of editingNode_, at the current magnification.
    void placeTitleEditor();
    // Scrolls the canvas as little as needed to show editingNode_ whole.
    void keepTitleEditorInView();
    void prepareTitleEditor(const Node& shown);
    // Abandons the document's open editing session, restoring its snapshot.
    void abandonEditingSession();
    bool isNodeEditorActive_ = false;
    std::optional<EditingContext> editingContext_;
    // The node as the editor shows it: the context node with the typed title and its size.
    std::optional<Node> editingNode_;
    NodeTitleEditor* nodeEditor_ = nullptr;

    // Dragging, resizing, hovering and panning (GraphViewDrag.cpp, GraphViewPointer.cpp).
    void leftMouseDragged(Point point, Point delta, Qt::KeyboardModifiers modifiers);
    void mouseMoved(Point point);
    void rightMouseDown(Point point);
    void rightMouseDragged(Point delta);
    // Whether the right mouse-up ends a pan (no context menu then).
    bool rightMouseUp(Point point);
    // The pointer's move since the last event, in canvas points (screen pixels over the magnification).
    Point pointerDelta(QPointF globalPosition);
    double magnification() const;
    void startAutoscroll();
    void stopAutoscroll();
    void autoscrollTick();
    // Whether the hover button or a handle under the press starts a hover-button drag or a resize.
    bool beginHoverButtonDragOrResize(Point point);
    void dragNodes(Qt::KeyboardModifiers modifiers);
    std::vector<NodeLayer*> dragSet(NodeLayer& selected, Qt::KeyboardModifiers modifiers) const;
    // A node drag moves its layers as one piece: the first drag step makes the group (draggedLayers and
    // where each node was), and every step only adds to its offset. The host draws the group at that offset
    // (LayerHostWidget::setRigidOffset); the layers themselves stay where they are until something reads
    // them or the drag ends. Only the branches to nodes that stay behind change on every step.
    struct DragGroup {
        Qt::KeyboardModifiers modifiers;
        std::vector<Point> origins;              // each dragged node's centre when the group was made
        FlatHashSet<std::int64_t> uids;          // of the dragged nodes
        std::vector<BranchLayer*> outerBranches; // between a dragged node and one that is not
        std::vector<BranchLayer*> innerBranches; // between two dragged nodes
        Point offset{0, 0};                      // how far the drag has taken the group
        Point placedOffset{0, 0};                // how far its layers stand from where the group was made
    };
    std::unique_ptr<DragGroup> dragGroup_;
    void makeDragGroup(Qt::KeyboardModifiers modifiers);
    // Docks a branch between a dragged node and one that is not to where the group is drawn.
    void dockToDragGroup(BranchLayer& branch);
    // Moves the dragged layer to where the drag has taken its node.
    void placeDraggedLayer(std::size_t index);
    // Places every layer of the group where the drag has taken it (for readers of the layers during a drag).
    void placeDragGroup() const;
    // Whether a drag group is under way whose layers do not all stand where it has taken them.
    bool dragGroupUnplaced() const { return dragGroup_ && !(dragGroup_->offset == dragGroup_->placedOffset); }
    // The dragged nodes where the drag has taken them; the layers that can be seen are placed there.
    std::vector<Node> dropDragGroup();
    // A drag whose release never arrived: its layers stay where it took them.
    void abandonDragGroup();
    void raiseDragged(NodeLayer& layer, bool raised);
    void showAttachFeedback(const std::vector<NodeLayer*>& targets);
    // The layers not dragged under the point; empty when a dragged node's parent is among them.
    std::vector<NodeLayer*> attachTargets(Point point) const;
    // Places the dragged or resized layers and docks the branches at their nodes.
    void placeMovedLayers(const std::vector<NodeLayer*>& layers);
    void resizeStep(Point delta);
    // Ends a node drag; false when no drag step ran since the press (a click).
    bool endNodeDrag(Point point);
    void sendMovedNodes(std::vector<Node> dragged);
    void endHoverButtonDrag();
    // Drop handling (GraphViewDrop.cpp).
    bool dropCarriesContent(const QMimeData* data, bool logTypes) const;
    void highlightDropTargets(Point point);
    void clearDropHighlight();
    QPointF lastGlobalPosition_;
    QTimer* autoScrollTimer_ = nullptr;
    std::optional<DragGhost> ghost_;

    void updateBackgroundLayer();
    void applySelectionRect();
    void setSelected(NodeLayer& layer, bool selected);
    bool isSelectedUID(std::int64_t uid) const;

    // Reload internals (GraphViewSync.cpp).
    ReloadPlan planReload();
    void syncBranchLayers(const ReloadPlan& plan);
    void syncNodeLayers(const ReloadPlan& plan);
    void updateNodeLayerPositions(bool resetDragState, const ReloadPlan* plan);
    void updateBranchLayers(const ReloadPlan& plan);
    // Sets the branch's dock points from its two node layers and rebuilds its path.
    void dockBranchLayer(BranchLayer& branch);
    void updateExistingNodeLayer(NodeLayer& layer, const Node& node, double scale);
    // The same for a node that only moved since the layer showed it.
    void moveExistingNodeLayer(NodeLayer& layer, const Node& node, double scale);
    // The parts both share: the layer's place and size, then its selection, hover and drag state.
    void placeExistingNodeLayer(NodeLayer& layer, const Node& node);
    void finishExistingNodeLayer(NodeLayer& layer, const Node& node, double scale);
    void applyHover(NodeLayer& layer);
    void applySelectionFromUIDs();
    // Takes the plan's new storage of changed nodes.
    void rememberShown(ReloadPlan& plan);
    // Up to this many new nodes are added to what a reload showed one by one.
    static constexpr std::size_t maxPlacedNewNodes = 64;
    // The node and branch steps of a reload, in the reload's order.
    void synchronize();
    void removeBranchLayers(const std::vector<BranchLayer*>& layers);
    // Places the deferred titles of node layers and builds the deferred lines of branch layers that reach
    // into the area (canvas coordinates), or all of them without one.
    void placeDeferredLabels(std::optional<Rect> area);
    // Takes the layers off the view layer, in one pass when there are many.
    void detachLayers(const std::vector<Layer*>& layers);

    // Layers left behind off screen (GraphViewSettle.cpp). A reload that moves a node from one place out of
    // view to another leaves its layer (and the branches at it whose lines stay out of view) where it was and
    // notes it; every reader of layer geometry settles what it reads first. Readers inside the canvas look
    // layers up with layerOf(), which settles nothing.
    NodeLayer* layerOf(std::int64_t uid) const;
    // Whether the reload leaves the layer of a node that only moved where it is: both places are out of view.
    // To is set to the node's frame, where the layer goes.
    bool leavesNodeBehind(NodeLayer& layer, const Node& node, Rect& to);
    // Whether the reload leaves the branch undocked: neither its line nor its ends reach into view. The two
    // layers are those of its ends (layerOf); childTo, when given, is where the child's layer, left behind, goes.
    bool leavesBranchBehind(BranchLayer& branch, const NodeLayer* parent, const NodeLayer* child,
                            const Rect* childTo);
    // The layer moved to its node, and the branch docked to its two ends, now and without animation.
    void settleNode(NodeLayer& layer);
    void settleBranch(BranchLayer& branch);
    // Settles every layer left behind whose old or new place reaches into the area, or all of them.
    void settleLayers(std::optional<Rect> area = std::nullopt) const;
    // Puts a node layer's bounds on whole points, as a reload leaves them.
    static void makeBoundsIntegral(NodeLayer& layer);

    Graph graph_;
    Grid grid_;
    ProjectStyle projectStyle_;
    bool isSynclocked_ = false;
    // The enclosing scroll view moved while the lock was set.
    bool boundsChangedWhileLocked_ = false;
    std::optional<FocusContext> focusContext_;
    QMetaObject::Connection scrollConnection_;
    QMetaObject::Connection magnificationConnection_;
    // Bursts of magnification changes end in one contents-scale update.
    QTimer* backingScaleTimer_ = nullptr;

    std::shared_ptr<Layer> backgroundLayer_;
    std::shared_ptr<GridLayer> gridLayer_;
    std::shared_ptr<Layer> selectionLayer_;
    std::shared_ptr<TextLayer> attachBadgeLayer_;
    std::vector<std::shared_ptr<NodeLayer>> nodeLayers_;
    std::vector<std::shared_ptr<BranchLayer>> branchLayers_;
    std::unique_ptr<GraphViewIndex> index_;
};

} // namespace velquine
