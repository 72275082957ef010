#pragma once

// The canvas's reload engine: it keeps the node and branch layers of a GraphView in line with the graph the
// view displays.
//
// A reload looks at what changed since the last one: graphs share unchanged nodes (Graph::sharedNode), so a
// node whose storage is the one its layer last showed costs nothing, and only the layers of changed nodes and
// the branches at their ends are touched (planReload, in CanvasSyncPlan.cpp). Layers a reload moves from one
// place out of view to another are left behind and settled by whatever reads them next (CanvasSyncSettle.cpp).
// The lookups by identifier and what the last reload showed are in CanvasIndex.

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"
#include "platform/Geometry.h"

namespace velquine {

class BranchLayer;
struct BranchEnd;
class CanvasGesture;
class GraphView;
class Layer;
class NodeLayer;
struct CanvasIndex;
struct ReloadPlan;

// Room around the visible area for shadows, strokes and the hover button: layers within it animate.
constexpr double canvasAnimationMargin = 64;

class CanvasSync {
public:
    explicit CanvasSync(GraphView& view);
    ~CanvasSync();
    CanvasSync(const CanvasSync&) = delete;
    CanvasSync& operator=(const CanvasSync&) = delete;

    // The node and branch steps of a reload, in the reload's order; the active gesture hears before and after.
    void synchronize();
    // The gesture the view hands its input to, told about every reload and asked to place its layers before
    // they are read.
    void setActiveGesture(CanvasGesture* gesture) { gesture_ = gesture; }
    // The next reload revisits every layer instead of only those of changed nodes. Anything that changes node
    // layers outside a reload (dragging, resizing) calls it.
    void invalidateLayerState();
    // The next reload revisits the node's layer, changed outside a reload (dragged, resized), even when the
    // graph did not change the node: an abandoned drag puts it back.
    void markTouched(std::int64_t uid);

    // A new, configured layer for the node or the link, added nowhere.
    std::shared_ptr<NodeLayer> makeNodeLayer(const Node& node);
    std::shared_ptr<BranchLayer> makeBranchLayer(const Node& parent, const Node& child);

    // ---- Lookups ----
    //
    // A reload that moves a node from one place out of view to another leaves its layer (and the branches at it
    // whose lines stay out of view) where it was and notes it (CanvasSyncSettle.cpp). The lookups named
    // "settled" put what they return where its node is first (and the active gesture's moved layers where it
    // took them); those named "as is" settle nothing, for readers inside the canvas that know what they read.

    const std::vector<std::shared_ptr<NodeLayer>>& settledNodeLayers();
    const std::vector<std::shared_ptr<BranchLayer>>& settledBranchLayers();
    const std::vector<std::shared_ptr<NodeLayer>>& nodeLayersAsIs() { return nodeLayers_; }
    const std::vector<std::shared_ptr<BranchLayer>>& branchLayersAsIs() { return branchLayers_; }
    // The node layer showing the node, or null.
    NodeLayer* settledNodeLayer(std::int64_t uid);
    NodeLayer* nodeLayerAsIs(std::int64_t uid);
    // The branch layer of the link, or null.
    BranchLayer* settledBranchLayer(std::int64_t parentUID, std::int64_t childUID);
    // The branch layers that end at the node, as parent or as child, in no particular order.
    std::vector<BranchLayer*> settledBranchLayersAt(std::int64_t uid);
    // A branch layer as listed under each of its two ends, with the identifiers of both.
    struct Link {
        BranchLayer* layer = nullptr;
        std::int64_t parentUID = 0;
        std::int64_t childUID = 0;
        bool operator==(const Link&) const = default;
    };
    // The links at the node as they are, or null for none.
    const std::vector<Link>* linksAsIs(std::int64_t uid);
    // The node layers whose frames hold the point, settled.
    std::vector<NodeLayer*> settledNodeLayersAt(Point point);
    // Settles every layer left behind whose old or new place reaches into the area, or all of them.
    void settleLayers(std::optional<Rect> area = std::nullopt);
    // The branch leaves the waiting lists now: its two ends are settled and its line is built by its reader.
    void settleEndsOf(BranchLayer& branch);
    // A node layer whose title waits moved from `from`: it waits where it is now.
    void refileWaitingLabel(NodeLayer& layer, const Rect& from);
    // A branch whose line waits is about to be built by its reader: it no longer waits.
    void unfileWaitingPath(BranchLayer& branch);
    // Places the deferred titles of node layers and builds the deferred lines of branch layers that reach
    // into the area (canvas coordinates), or all of them without one.
    void placeDeferredLabels(std::optional<Rect> area);

    // ---- Layer states ----

    // Shows or hides the node layer's "+" button; a shown button takes the document's background colour.
    // Printing canvases never show it.
    void setHoverButtonShown(NodeLayer& layer, bool shown);
    // The layout options that govern the node: its tree root's own options, else the view's base options.
    LayoutOptions layoutOptionsGoverning(const Node& node) const;
    void setSelected(NodeLayer& layer, bool selected);
    // Pushes the view's selection into the node layers, touching only those whose state changes when the
    // layers show a known selection.
    void showSelection();
    // The layers were given a selection of their own (a click, a rubber band): the shown one is the given
    // identifiers, or unknown.
    void noteShownSelection(std::optional<std::vector<std::int64_t>> uids);
    // Sets the branch's dock points from its two node layers and rebuilds its path.
    void dockBranchLayer(BranchLayer& branch);
    // Places layers changed outside a reload (resized) at their nodes and docks the branches at them.
    void placeMovedLayers(const std::vector<NodeLayer*>& layers);
    // Gives every node and branch layer the scale.
    void setContentsScale(double scale);

    // Set between GraphView::beginSyncLock() and endSyncLock(): pushes into the view reload nothing.
    bool isSynclocked() const { return synclocked_; }
    void setSynclocked(bool locked) { synclocked_ = locked; }
    // The view's visible area changed: the titles and lines coming into view are placed, once the lock ends.
    // With onlyAfterLock, only when the area changed while the lock was set.
    void didChangeBounds(bool onlyAfterLock = false);
    // How many entries of titles and lines wait, over all cells of their grids; and how many of the node's
    // title and of the line to it a look at every cell finds, which drops those in cells they left. No drawing
    // shows a trail of entries in the grids: tests of the waiting grids read these.
    std::size_t waitingEntryCount();
    std::pair<std::size_t, std::size_t> lookAtWaitingEntries(std::int64_t uid);

private:

    ReloadPlan planReload();
    void syncBranchLayers(const ReloadPlan& plan);
    void syncNodeLayers(const ReloadPlan& plan);
    void updateNodeLayerPositions(bool resetDragState, const ReloadPlan* plan);
    void updateBranchLayers(const ReloadPlan& plan);
    void updateExistingNodeLayer(NodeLayer& layer, const Node& node, double scale);
    // The same for a node that only moved since the layer showed it.
    void moveExistingNodeLayer(NodeLayer& layer, const Node& node, double scale);
    // The part both share after the layer's place and size (placeExistingNodeLayer): its selection, hover and
    // drag state.
    void finishExistingNodeLayer(NodeLayer& layer, const Node& node, double scale);
    // Takes the plan's new storage of changed nodes.
    void rememberShown(ReloadPlan& plan);
    void removeBranchLayers(const std::vector<BranchLayer*>& layers);
    // Whether the reload leaves the layer of a node that only moved where it is: both places are out of view.
    // To is set to the node's frame, where the layer goes.
    bool leavesNodeBehind(NodeLayer& layer, const Node& node, Rect& to);
    // Whether the reload leaves the branch undocked: neither its line nor its ends reach into view. The two
    // layers are those of its ends (layerOf); childTo, when given, is where the child's layer, left behind, goes.
    bool leavesBranchBehind(BranchLayer& branch, const NodeLayer* parent, const NodeLayer* child,
                            const Rect* childTo);

    void applyHover(NodeLayer& layer);
    // Gives every node layer the selected state of the view's selection.
    void applySelectionFromUIDs();
    // The layer moved to its node, and the branch docked to its two ends, now and without animation.
    void settleNode(NodeLayer& layer);
    void settleBranch(BranchLayer& branch);
    // What a branch docks to at a node layer: the layer as it is, or, left behind, as settleNode() leaves it.
    BranchEnd settledEnd(const NodeLayer& layer) const;

    GraphView& view_;
    CanvasGesture* gesture_ = nullptr;
    bool synclocked_ = false;
    // The enclosing scroll view moved while the lock was set.
    bool boundsChangedWhileLocked_ = false;
    std::vector<std::shared_ptr<NodeLayer>> nodeLayers_;
    std::vector<std::shared_ptr<BranchLayer>> branchLayers_;
    std::unique_ptr<CanvasIndex> index_;
};

} // namespace velquine
