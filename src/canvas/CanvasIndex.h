#pragma once

// The canvas's lookups: node layers by identifier, branch layers by (parent, child) and by each end, and what
// the last reload showed, so that a reload finds changed nodes without looking at the others.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/UidMap.h"
#include "canvas/CanvasSync.h"
#include "canvas/WaitingLayers.h"
#include "model/graph/DenseUIDRange.h"
#include "model/graph/Graph.h"
#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"
#include "platform/Color.h"
#include "platform/Geometry.h"

namespace velquine {

class BranchLayer;
class Layer;
class NodeLayer;

struct ReloadPlan {
    // Every node is visited, every layer revisited.
    bool full = true;
    // The nodes this reload visits, in the graph's order, and their identifiers.
    std::vector<const Node*> visit;
    std::vector<std::int64_t> visitUIDs;
    // For each visited node (none on a full reload): whether it only moved since its layer showed it, with
    // nothing about it or above it that would change its branch's look, its layer's look or its layout
    // options; such a node's layer and branch need only follow it.
    std::vector<char> movedOnly;
    bool isMovedOnly(std::size_t visitIndex) const { return visitIndex < movedOnly.size() && movedOnly[visitIndex]; }
    // Identifiers of nodes the last reload showed that left the graph.
    std::vector<std::int64_t> removed;
    // Whether any node is new, and which (ascending; none on a full reload).
    bool added = false;
    std::vector<std::int64_t> addedUIDs;
    // Each node the last reload showed that names another parent now (none on a full reload). The planning
    // gives the shown list every changed node's storage as it finds it.
    struct Reparenting {
        std::int64_t uid;
        std::optional<std::int64_t> before;
        std::optional<std::int64_t> now;
    };
    std::vector<Reparenting> reparented;
    // Every layer's hover state and selection are worked out again.
    bool hoverPass = false;
    bool selectionPass = false;
    // Identifiers whose selected state changed since the layers last showed the selection.
    std::vector<std::int64_t> selectionChanges;

    // Back to a plan of nothing, keeping the room of its lists.
    void reset()
    {
        full = true;
        visit.clear();
        visitUIDs.clear();
        movedOnly.clear();
        removed.clear();
        added = false;
        addedUIDs.clear();
        reparented.clear();
        hoverPass = selectionPass = false;
        selectionChanges.clear();
    }
};

// What it buys, with the reload plan (bench_GraphViewReload, 20,000 nodes): one changed node reloads in 21 µs,
// against 30.7 ms revisiting every layer (BM_ReloadOneChangedNodeRevisitingAll).
struct CanvasIndex {
    // ---- Node layers ----

    // Rebuilt from the node layers at the end of every node synchronisation (a later layer with the same
    // identifier wins).
    UidMap<NodeLayer*> nodeLayerUIDCache;

    // ---- Branch layers ----

    struct LinkHash {
        std::size_t operator()(const std::pair<std::int64_t, std::int64_t>& link) const noexcept
        {
            const auto a = static_cast<std::uint64_t>(link.first);
            const auto b = static_cast<std::uint64_t>(link.second);
            return static_cast<std::size_t>(a * 0x9E3779B97F4A7C15ULL ^ (b + 0x632BE59BD9B4E019ULL + (a << 6)));
        }
    };
    // The first layer of each link, as the branch list holds them in order.
    std::unordered_map<std::pair<std::int64_t, std::int64_t>, BranchLayer*, LinkHash> branchByLink;
    // A branch layer as listed under each of its two ends, with the identifiers of both: a walk over the
    // branches at a node reads no layer it passes over.
    using BranchEnd = CanvasSync::Link;
    // Every branch layer under each of its two ends.
    UidMap<std::vector<BranchEnd>> branchesAtNode;

    // ---- What lives only while a reload runs ----

    bool reloading = false;
    // The branch layers made by the reload under way: they take their first path without animation. A reload
    // asks about every branch it docks or leaves behind and usually makes one or two: a few are looked through
    // in a list, more are hashed.
    class CreatedBranches {
    public:
        void insert(const BranchLayer* layer)
        {
            if (hashed_.empty() && listed_.size() < 16) {
                listed_.push_back(layer);
                return;
            }
            if (hashed_.empty())
                hashed_.insert(listed_.begin(), listed_.end());
            hashed_.insert(layer);
        }
        bool contains(const BranchLayer* layer) const
        {
            if (hashed_.empty())
                return std::find(listed_.begin(), listed_.end(), layer) != listed_.end();
            return hashed_.count(layer) != 0;
        }
        void clear()
        {
            listed_.clear();
            hashed_.clear();
        }

    private:
        std::vector<const BranchLayer*> listed_;
        std::unordered_set<const BranchLayer*> hashed_;
    };
    CreatedBranches createdBranches;
    // The selection, and the layout options governing each node climbed through so far.
    std::unordered_set<std::int64_t> selected;
    std::unordered_map<std::int64_t, LayoutOptions> governingOptions;
    // Scratch list of one climb to a tree's root, kept to spare an allocation per node.
    std::vector<std::int64_t> climbPath;
    // Layers that stay outside this area (the visible part of the canvas with a margin) move without
    // animating: nobody would see it, and thousands of off-screen animations would cost every frame.
    Rect animatedArea;
    // Whether a change from one area to another is worth animating.
    bool animates(const Rect& from, const Rect& to) const
    {
        return reaches(animatedArea, from) || reaches(animatedArea, to);
    }
    // Whether the rectangle reaches into the area: the closed rule on the edges.
    static bool reaches(const Rect& area, const Rect& r) { return waiting::reaches(area, r); }

    void addBranch(BranchLayer* layer, std::int64_t parentUID, std::int64_t childUID);
    void removeBranch(BranchLayer* layer, std::int64_t parentUID, std::int64_t childUID);
    BranchLayer* branch(std::int64_t parentUID, std::int64_t childUID);
    const std::vector<BranchEnd>* branchesAt(std::int64_t uid);

    // ---- Titles and lines made later ----

    template <typename L>
    using DeferredGrid = velquine::DeferredGrid<L>;
    // Node layers made outside the visible area, whose titles are placed once they come into view (or the
    // canvas is drawn whole), filed by their frames.
    DeferredGrid<NodeLayer> deferredLabels;
    // Branch layers whose lines were left unbuilt outside the visible area, built the same way, filed by
    // their dock areas and the areas of the lines they show.
    DeferredGrid<BranchLayer> deferredPaths;
    // Whether an area is in view, or near enough to be soon.
    bool inView(const Rect& area) const { return animates(area, area); }
    // A visible area none of the deferred titles and lines reaches into, when one is known: while the view
    // shows it, nothing needs to be looked at.
    std::optional<Rect> settledArea;

    // ---- Layers left behind off screen ----

    using Unsettled = velquine::Unsettled;
    template <class LayerType>
    using UnsettledList = velquine::UnsettledList<LayerType>;
    // Node layers whose nodes only moved, from a place outside the visible area (with its margin) to another
    // one outside it: the layer still shows the old place, and `to` is the frame of the new one. Each is moved
    // where its node is when it comes near the visible area, is painted, hit or looked up.
    UnsettledList<NodeLayer> unsettledNodes;
    // Branch layers at such nodes whose lines stay out of view as well: the area of the old line and of its
    // path as last built, and that of the new line (both ends' new frames). Each is docked afresh the same way.
    UnsettledList<BranchLayer> unsettledBranches;
    bool hasUnsettled() const { return !unsettledNodes.empty() || !unsettledBranches.empty(); }

    // ---- What the last reload showed ----

    // One entry per node layer, in ascending identifier order (the graph's order): the node storage the layer
    // last showed (or, while a reload runs, shows at its end). Holding the storage keeps it shared, so a graph
    // that changes that node copies it and the address tells the change.
    struct Shown {
        std::int64_t uid;
        std::shared_ptr<const Node> storage;
    };
    std::vector<Shown> shown;
    // The graph's store as the last reload showed it: while the graph holds the same storage, no node changed.
    Graph::NodeBin shownBin;
    // The identifiers of the shown nodes under the parent identifier they name (stored or not).
    std::unordered_map<std::int64_t, std::vector<std::int64_t>> childrenByParent;
    // False until a reload has run, and after invalidateLayerState(): the next reload visits every layer.
    bool shownValid = false;
    // The inputs of the last reload that every layer depends on.
    LayoutOptions baseLayoutOptions;
    double contentsScale = 0;
    std::optional<Color> backgroundColor;
    bool printingMode = false;
    Point mouseMoveLocation;
    // The selection as the node layers show it; nothing when unknown (after a rubber band, say).
    std::optional<std::vector<std::int64_t>> appliedSelection;
    // Nodes whose layers were changed outside a reload (dragged, resized): the next reload visits them even
    // when the graph did not change them, so that an abandoned drag puts them back.
    std::unordered_set<std::int64_t> touched;

    // ---- Room kept between reloads ----

    // A layout that moves every node makes every reload fill lists the size of the graph: the last plan's lists
    // and the planning's own are kept, emptied, so that the next reload writes into pages it already has.
    ReloadPlan sparePlan;
    std::vector<const Node*> walkedNodes;
    std::vector<char> walkedMoved;
    std::vector<std::int64_t> extraUIDs;
    std::vector<std::int64_t> walkedUIDs;
    std::vector<std::int64_t> childUIDs;
    std::vector<std::int64_t> heldBackUIDs;
    UidMap<bool> marks;
    // The layer of each node the reload visits, as the node synchronisation found or made it (null for none).
    std::vector<NodeLayer*> visitedLayers;
    // For each node the reload visits, whether the node synchronisation left its layer behind, and then where
    // the layer goes (the node's frame); a layer settled later in the reload is no longer marked.
    std::vector<char> leftBehind;
    std::vector<Rect> leftFor;
    // The identifiers of the nodes the reload under way visits, while it marks layers left behind.
    const std::vector<std::int64_t>* markedUIDs = nullptr;
};

// Where a branch whose line waits may come into view: its dock area, and the line it still shows.
Rect branchWaitArea(const BranchLayer& branch);
// Puts a node layer's bounds on whole points, as a reload leaves them.
void makeBoundsIntegral(NodeLayer& layer);
// Whether the node is selected: in the reload's selection while one runs, else in the view's.
bool isSelectedUID(const CanvasIndex& index, const std::vector<std::int64_t>& selection, std::int64_t uid);
// Takes the layers off the view layer, in one pass when there are many.
void detachLayers(Layer& viewLayer, const std::vector<Layer*>& layers);

// Marks a reload under way for its lifetime and drops what the reload kept when it ends.
class ReloadScope {
public:
    // Room around the visible area for shadows, strokes and the hover button.
    static constexpr double animationMargin = canvasAnimationMargin;

    ReloadScope(CanvasIndex& index, const std::vector<std::int64_t>& selection, const Rect& visible)
        : index_(index)
    {
        index_.reloading = true;
        index_.animatedArea = visible.insetBy(-animationMargin, -animationMargin);
        // What this reload defers lies outside this area, which the settled one must then be.
        if (index_.settledArea && !(*index_.settledArea == visible))
            index_.settledArea.reset();
        index_.selected = std::unordered_set<std::int64_t>(selection.begin(), selection.end());
    }
    ~ReloadScope()
    {
        index_.reloading = false;
        index_.createdBranches.clear();
        index_.selected.clear();
        index_.governingOptions.clear();
    }
    ReloadScope(const ReloadScope&) = delete;
    ReloadScope& operator=(const ReloadScope&) = delete;

private:
    CanvasIndex& index_;
};

} // namespace velquine
