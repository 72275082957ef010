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
// Input goes to one active gesture at a time, behind the CanvasGesture seam: the pointer (PointerInteraction:
// hovering, clicks, menus) while nothing else runs, else the drag (DragInteraction, dragging and attaching nodes),
// the resize, the rubber band or the pan (PointerGestures.h), the hover-button drag (GhostInteraction, with the
// ghost of the child it inserts) or the title edit (TitleEditingInteraction). The view turns Qt's events into
// GestureInput for it; CanvasSync tells it about every reload. Drops (DropInteraction), the canvas keys
// (NavigationInteraction) and focus mode (FocusInteraction) are helpers of their own. The gestures are held in
// CanvasGestures; each keeps its own state and reads the view only through its public face.
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
#include "canvas/CanvasGesture.h"
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
class CanvasGesture;
class CanvasGestures;
class CanvasSync;
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

    const Graph& graph() const { return shown_.graph; }
    void setGraph(const Graph& graph);
    const Grid& grid() const { return shown_.grid; }
    void setGrid(const Grid& grid);
    const ProjectStyle& projectStyle() const { return shown_.projectStyle; }
    void setProjectStyle(const ProjectStyle& style);
    // Used for trees whose root has no layout options; setting it reloads nothing.
    const LayoutOptions& baseLayoutOptions() const { return shown_.baseLayoutOptions; }
    void setBaseLayoutOptions(const LayoutOptions& options);
    // The selection shown, as last pushed by the controller (the document owns the selection); setting it
    // reloads nothing.
    const std::vector<std::int64_t>& selectedNodeUIDs() const { return shown_.selectedNodeUIDs; }
    void setSelectedNodeUIDs(std::vector<std::int64_t> uids);
    // Set on canvases made for printing and export, right after creation: nothing is ever hovered.
    void setPrintingMode(bool printingMode);
    bool isPrintingMode() const { return shown_.printingMode; }
    // The nodes of the selected identifiers the graph holds, in selection order.
    std::vector<Node> selectedNodes() const { return shown_.graph.nodes(shown_.selectedNodeUIDs); }

    // ---- Synchronisation ----

    // While the lock is set (sync().isSynclocked()), pushes reload nothing.
    void beginSyncLock();
    // Clears the lock and reloads, whether or not it was set.
    void endSyncLock();
    // Brings every layer in line with the displayed values; nothing while the lock is set.
    void reloadLayers();
    // The reload engine.
    CanvasSync& sync() { return *sync_; }

    // ---- What the canvas shows ----

    // The view layer with every sublayer where the graph puts it.
    Layer& viewLayer();
    Layer& backgroundLayer() { return *backgroundLayer_; }
    GridLayer& gridLayer() { return *gridLayer_; }
    // The layer showing the node, or of the link, or null; every layer stands where its node is.
    NodeLayer* nodeLayer(std::int64_t uid);
    BranchLayer* branchLayer(std::int64_t parentUID, std::int64_t childUID);
    // The node and branch layers, in creation order, each where its node is.
    const std::vector<std::shared_ptr<NodeLayer>>& nodeLayers();
    const std::vector<std::shared_ptr<BranchLayer>>& branchLayers();
    // Gives every layer the view's effective backing scale (the screen's pixels per point times the
    // magnification).
    void updateContentsScale();
    // Pushes a selection into the node layers without animation (the document owns the selection).
    void showSelection(const std::vector<Node>& nodes);

    // ---- Input ----

    // Where the edits that start on the canvas go; null when it is gone.
    void setDelegate(std::weak_ptr<GraphViewDelegate> delegate);
    std::shared_ptr<GraphViewDelegate> delegate() { return delegate_.lock(); }
    // Where the pointer was last seen over the canvas, and where the last click (a mouse release) was.
    Point pointerLocation() const;
    Point lastClickLocation() const;
    // The menus a right click pops up on a node and on empty canvas. Not owned; either may be null.
    void setContextMenus(QMenu* nodeMenu, QMenu* documentMenu);
    // Makes the gesture the active one, the pointer when null. The gestures call it as they begin and end.
    void setActiveGesture(CanvasGesture* gesture);
    // Whether a gesture other than the pointer is under way.
    bool isGestureActive() const;

    // ---- Title editing and focus mode ----

    // Opens the title editor over every selected node in turn, with the title selected.
    void beginEditingSelectedTitles(bool commitEvenIfTitleDoesntChange, std::function<void()> completionHandler);
    bool isEditingTitle() const;
    // The editor over the node whose title is typed; null until the first edit.
    NodeTitleEditor* titleEditor();
    // Commits (true) or cancels (false) the title edit under way.
    void endEditingTitle(bool commit);
    // Focus mode: on for the first selected node, or off again; whether it is on.
    void toggleFocusMode();
    bool isFocusModeOn() const;

    // ---- Keyboard navigation ----

    enum class NavigationDirection { up, left, down, right };

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

private:
    // The background and grid layers take the document's colour, the grid and the bounds; the view paints
    // opaquely while the background colour is opaque.
    void updateBackdrop();

    // What the view displays, as its controller pushed it.
    struct Displayed {
        Graph graph;
        Grid grid;
        ProjectStyle projectStyle = ProjectStyle::omaha();
        LayoutOptions baseLayoutOptions;
        std::vector<std::int64_t> selectedNodeUIDs;
        bool printingMode = false;
    };
    Displayed shown_;
    std::weak_ptr<GraphViewDelegate> delegate_;
    // The enclosing scroll view's bounds and magnification signals.
    std::array<QMetaObject::Connection, 2> scrollViewConnections_;
    // Bursts of magnification changes end in one contents-scale update.
    QTimer* backingScaleTimer_ = nullptr;

    std::shared_ptr<Layer> backgroundLayer_;
    std::shared_ptr<GridLayer> gridLayer_;
    std::unique_ptr<CanvasSync> sync_;
    // The gestures, the active one among them, and the input that goes to them: the canvas's own, reached
    // only through its events and the calls above.
    std::unique_ptr<CanvasGestures> gestures_;
};

} // namespace velquine
