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
// brackets a set of pushes with beginSyncLock() and endSyncLock() so one reload follows them. The reload engine
// is CanvasSync (sync()): it looks at what changed since the last reload and touches only the layers of changed
// nodes and the branches at their ends.
//
// Input goes to one interaction per gesture, each a class of its own: PointerInteraction (clicks, the rubber
// band, resizing, hovering, panning and the context menus), DragInteraction (dragging and attaching nodes),
// GhostInteraction (the child a hover-button drag will insert), DropInteraction (what is dropped on the
// canvas), NavigationInteraction (the canvas keys), TitleEditingInteraction (in-place title editing) and
// FocusInteraction (focus mode). They share the view's state as its friends.
//
// Canvases made for printing and export call setPrintingMode(true) and are drawn with render(): hover buttons are then
// never shown. The view is flipped (y grows downwards); UnflippedGraphView draws with y growing upwards. It
// normally sits in a ScrollView, which magnifies it.

#include <QMetaObject>
#include <QPointer>

#include <array>
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
class CanvasSync;
class DragInteraction;
class DropInteraction;
class FocusInteraction;
class GhostInteraction;
class NavigationInteraction;
class PointerInteraction;
class TitleEditingInteraction;
class NodeTitleEditor;

// The z positions of the canvas's layers among the view layer's sublayers.
struct CanvasZPosition {
    static constexpr double background = -100;
    static constexpr double grid = -99;
    static constexpr double branch = -11;
    static constexpr double node = -10;
    static constexpr double overlay = -5;
    static constexpr double draggedNode = -5;
    static constexpr double draggedBranch = -6;
};

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
    const LayoutOptions& baseLayoutOptions() const { return baseLayoutOptions_; }
    void setBaseLayoutOptions(const LayoutOptions& options);
    // The selection shown, as last pushed by the controller (the document owns the selection); setting it
    // reloads nothing.
    const std::vector<std::int64_t>& selectedNodeUIDs() const { return selectedNodeUIDs_; }
    void setSelectedNodeUIDs(std::vector<std::int64_t> uids);
    // Set on canvases made for printing and export, right after creation: nothing is ever hovered.
    void setPrintingMode(bool printingMode);

    // ---- Synchronisation ----

    // While the lock is set (sync().isSynclocked()), pushes reload nothing.
    void beginSyncLock();
    // Clears the lock and reloads, whether or not it was set.
    void endSyncLock();
    // Brings every layer in line with the displayed values; nothing while the lock is set.
    void reloadLayers();
    // The reload engine, with the node and branch layers and their lookups (nodeLayers(), nodeLayer(uid) and the
    // like).
    CanvasSync& sync() const { return *sync_; }

    // ---- Layers ----

    // The view layer with every sublayer where the graph puts it.
    Layer& viewLayer() const;
    Layer& backgroundLayer() const { return *backgroundLayer_; }
    GridLayer& gridLayer() const { return *gridLayer_; }
    // Gives every layer the view's effective backing scale (the screen's pixels per point times the
    // magnification).
    void updateContentsScale();

    // Where the edits that start on the canvas go.
    void setDelegate(std::weak_ptr<GraphViewDelegate> delegate);

    // ---- Interactions ----

    // One per gesture; the view hands its input to them.
    PointerInteraction& pointer() const { return *pointer_; }
    DragInteraction& dragging() const { return *drag_; }
    GhostInteraction& ghosts() const { return *ghosts_; }
    TitleEditingInteraction& titleEditing() const { return *titleEditing_; }
    FocusInteraction& focusMode() const { return *focusMode_; }

    // ---- Keyboard navigation ----

    enum class NavigationDirection { up, left, down, right };

    // ---- In-place title editing ----

    // The edit in progress, or the last one: the node as it was when editing began (before any initial text),
    // what runs when the edit ends, and whether an unchanged title still counts as an edit.
    struct EditingContext {
        std::int64_t nodeUID = 0;
        Node node;
        std::function<void()> completionHandler;
        bool commitEvenIfTitleDoesntChange = false;
    };

    // ---- Drawing ----

    // Draws the bounds (or the source area of the canvas) into the target rectangle of the painter, whether the
    // view is shown or not. With vector set, nothing is drawn from cached pictures (for PDF output). With
    // betweenParts, the layers are drawn in parts, one after the other in the same order, and betweenParts is
    // called between two parts (so that a long drawing can let windows repaint).
    void render(QPainter& painter, const QRectF& target, std::optional<Rect> source = std::nullopt,
                bool vector = false, const std::function<void()>& betweenParts = {});

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // One-time configuration of the layer tree.
    void setUp();

private:
    friend class CanvasSync;
    friend class DragInteraction;
    friend class DropInteraction;
    friend class FocusInteraction;
    friend class GhostInteraction;
    friend class NavigationInteraction;
    friend class PointerInteraction;
    friend class TitleEditingInteraction;

    // Mouse, wheel, context-menu and drag input goes to the interaction of its gesture; whether one took it.
    bool dispatchToInteractions(QEvent* event);
    // The nodes of the selected identifiers the graph holds, in selection order.
    std::vector<Node> selectedNodes() const { return graph_.nodes(selectedNodeUIDs_); }

    // The background and grid layers take the document's colour, the grid and the bounds.
    void updateBackdrop();
    // The view paints opaquely while the background colour is opaque.
    void updateOpaquePaint();

    Graph graph_;
    Grid grid_;
    ProjectStyle projectStyle_;
    LayoutOptions baseLayoutOptions_;
    std::vector<std::int64_t> selectedNodeUIDs_;
    bool printingMode_ = false;
    std::weak_ptr<GraphViewDelegate> delegate_;
    // The enclosing scroll view's bounds and magnification signals.
    std::array<QMetaObject::Connection, 2> scrollViewConnections_;
    // Bursts of magnification changes end in one contents-scale update.
    QTimer* backingScaleTimer_ = nullptr;

    std::shared_ptr<Layer> backgroundLayer_;
    std::shared_ptr<GridLayer> gridLayer_;
    std::unique_ptr<CanvasSync> sync_;
    std::unique_ptr<PointerInteraction> pointer_;
    std::unique_ptr<DragInteraction> drag_;
    std::unique_ptr<GhostInteraction> ghosts_;
    std::unique_ptr<DropInteraction> drop_;
    std::unique_ptr<NavigationInteraction> navigation_;
    std::unique_ptr<TitleEditingInteraction> titleEditing_;
    std::unique_ptr<FocusInteraction> focusMode_;
};

} // namespace velquine
